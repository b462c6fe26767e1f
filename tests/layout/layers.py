#!/usr/bin/env python3
"""The layers of the program, held by its includes.

Every folder of the program stands on the folders below it and on nothing above:

    math  <-  assets
    gl_layer  <-  platform  <-  sound
    assets, platform  <-  render  <-  scene  <-  (scene, sound)  runtime  <-  capture  <-  shell

A file fails the check when it
  - includes a header of a folder that is not below its own (tests, tools, benchmarks and fuzz targets
    count as the folder they test: tests/render/ as render/; tools/, bench/, fuzz/ and tests/support/ may
    use every folder);
  - includes a folder's internal header from outside that folder: headers in a subfolder
    (platform/sdl/sdl_window.h) and those named *_internal.h or *_system.h;
  - includes SDL outside platform/ and sound/ (and the tests' own windows), <windows.h> outside
    platform/windows/, or <emscripten.h> outside platform/web/ and gl_layer/;
  - is a file of the program outside platform/ and includes another header of the system's (POSIX's
    <unistd.h>, <sys/...>, <fcntl.h>, <signal.h>, <pthread.h>, <dlfcn.h>, X11's, Windows' ...): the
    program reaches the system through platform/ alone. Tests, tools, benchmarks and fuzz targets may
    use the system to set up what they check;
  - tests for a system (_WIN32, __EMSCRIPTEN__) with #if outside platform/.
Run from anywhere: python3 tests/layout/layers.py [SOURCE_DIR]; exit 1 with one line per finding.
"""
import os
import re
import subprocess
import sys

DIRECT = {
    'math': [],
    'assets': ['math'],
    'gl_layer': [],
    'platform': ['gl_layer'],
    'sound': ['platform'],
    'render': ['assets', 'platform', 'math'],
    'scene': ['render'],
    'runtime': ['scene', 'sound'],
    'capture': ['runtime'],
    'shell': ['capture'],
}
EVERYWHERE = {'tools', 'bench', 'fuzz', 'support'}  # users of the whole program, above every folder


def below(folder):
    seen, todo = set(), list(DIRECT[folder])
    while todo:
        f = todo.pop()
        if f not in seen:
            seen.add(f)
            todo.extend(DIRECT[f])
    return seen


BELOW = {f: below(f) for f in DIRECT}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
# Headers of the system rather than of C, C++ or a library the build names: a name or a folder.
SYSTEM_HEADERS = {
    'unistd.h', 'fcntl.h', 'signal.h', 'csignal', 'pthread.h', 'dlfcn.h', 'dirent.h', 'malloc.h', 'strings.h',
    'poll.h', 'termios.h', 'spawn.h', 'sched.h', 'semaphore.h', 'pwd.h', 'grp.h', 'netdb.h', 'syslog.h',
    'utime.h', 'glob.h', 'fnmatch.h', 'libgen.h', 'wordexp.h', 'ucontext.h', 'execinfo.h', 'link.h',
    'elf.h', 'err.h', 'getopt.h', 'langinfo.h', 'iconv.h', 'aio.h', 'mqueue.h', 'alloca.h', 'io.h',
    'direct.h', 'process.h', 'share.h', 'conio.h', 'windows.h', 'winsock2.h', 'ws2tcpip.h', 'shellapi.h',
    'shlobj.h', 'tchar.h', 'emscripten.h', 'GL/glx.h', 'GL/wglext.h',
}
SYSTEM_FOLDERS = {'sys', 'X11', 'linux', 'asm', 'bits', 'netinet', 'arpa', 'net', 'mach', 'emscripten',
                  'xcb', 'wayland', 'EGL', 'GLES', 'GLES2', 'GLES3'}


def system_header(header):
    return header in SYSTEM_HEADERS or header.split('/')[0] in SYSTEM_FOLDERS


SYSTEM_TEST = re.compile(r'^\s*#\s*(?:if|ifdef|ifndef|elif)\b.*\b(_WIN32|__EMSCRIPTEN__)\b', re.M)


def owner(path):
    """The program folder a file belongs to, or one of EVERYWHERE, or None for files outside the program."""
    parts = path.split('/')
    if parts[0] == 'tests' and len(parts) > 2:
        return 'support' if parts[1] not in DIRECT else parts[1]
    if parts[0] in DIRECT or parts[0] in ('tools', 'bench', 'fuzz'):
        return parts[0]
    return None


def internal(header):
    parts = header.split('/')
    if parts[0] not in DIRECT:
        return False
    return len(parts) > 2 or re.search(r'_(internal|system)\.h$', header) is not None


def allowed_system_header(path, header):
    """The system's headers a folder above platform/ needs for its own job: the GL layer reaches the browser's
    drawing (emscripten's names for the ES entry points) and, natively, the ES context SDL opened."""
    top = header.split('/')[0]
    return path.startswith('gl_layer/') and (header == 'emscripten.h' or top in ('emscripten', 'GLES3', 'EGL'))


def check(root):
    files = subprocess.run(['git', 'ls-files', '*.cpp', '*.h', '*.c'], cwd=root, capture_output=True,
                           text=True, check=True).stdout.split()
    findings = []
    for path in files:
        if path.startswith('data/'):
            continue  # the effect programs are GLSL under a C++ name
        mine = owner(path)
        if mine is None:
            continue
        text = open(os.path.join(root, path), encoding='utf-8').read()
        in_program = path.split('/')[0] in DIRECT
        for kind, header in INCLUDE.findall(text):
            top = header.split('/')[0]
            if kind == '"' and top in DIRECT:
                if mine not in EVERYWHERE and top != mine and top not in BELOW[mine]:
                    findings.append(f'{path}: includes {header}, but {top}/ is not below {mine}/')
                if internal(header) and top != mine and mine != 'support':
                    findings.append(f'{path}: includes {header}, internal to {top}/')
            name = header.split('/')[-1]
            if kind == '<' and (name.startswith('SDL') or header.startswith('SDL2/')):
                if mine not in ('platform', 'sound', 'gl_layer', 'support'):
                    findings.append(f'{path}: includes <{header}> outside platform/ and sound/')
            if kind == '<' and name.lower() in ('windows.h', 'shellapi.h', 'io.h'):
                if not (path.startswith('platform/windows/') or path.startswith('tests/platform/')):
                    findings.append(f'{path}: includes <{header}> outside platform/windows/')
            if kind == '<' and header.startswith('emscripten'):
                if not (path.startswith('platform/web/') or path.startswith('gl_layer/')):
                    findings.append(f'{path}: includes <{header}> outside platform/web/ and gl_layer/')
        if in_program and not path.startswith('platform/'):
            for kind, header in INCLUDE.findall(text):
                if kind == '<' and system_header(header) and not allowed_system_header(path, header):
                    findings.append(f'{path}: includes <{header}>, a header of the system, outside platform/')
            for match in SYSTEM_TEST.finditer(text):
                line = text.count('\n', 0, match.start()) + 1
                findings.append(f'{path}:{line}: tests for {match.group(1)} outside platform/')
    return findings


if __name__ == '__main__':
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', '..')
    findings = check(root)
    for f in findings:
        print(f)
    print(f'layers: {len(findings)} finding(s)')
    sys.exit(1 if findings else 0)
