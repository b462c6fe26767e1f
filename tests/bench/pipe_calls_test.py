#!/usr/bin/env python3
"""bench/pipe-calls.py reads a Gallium trace: the last frame shown is the one counted, cut at each change of
render target, with the kinds of draw and the vertex sizes of each target; targets that draw nothing are
left out. Run: python3 tests/bench/pipe_calls_test.py"""
import importlib.util
import os
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
spec = importlib.util.spec_from_file_location("pipe_calls", os.path.join(HERE, "..", "..", "bench", "pipe-calls.py"))
pipe_calls = importlib.util.module_from_spec(spec)
spec.loader.exec_module(pipe_calls)

number = 0


def call(method, *args):
    global number
    number += 1
    return "\t<call no='%d' class='pipe_context' method='%s'>\n%s\t</call>\n" % (
        number, method, "".join("\t\t%s\n" % a for a in args))


def draw(mode):
    return call("draw_vbo", "<arg name='info'><struct name='pipe_draw_info'><member name='index_size'><uint>0"
                "</uint></member><member name='mode'><uint>%d</uint></member></struct></arg>" % mode,
                "<arg name='draws'><array><elem><struct><member name='count'><uint>5</uint></member></struct>"
                "</elem></array></arg>")


def vertex_buffers(stride):
    return call("set_vertex_buffers", "<arg name='buffers'><array><elem><struct name='pipe_vertex_buffer'>"
                "<member name='stride'><uint>%d</uint></member></struct></elem></array></arg>" % stride)


def trace(*frames):
    body = "".join("".join(frame) + call("flush_frontbuffer") for frame in frames)
    return "<?xml version='1.0'?>\n<trace version='0.1'>\n%s</trace>\n" % body


def test_the_last_frame_is_counted_per_render_target():
    first = [call("set_framebuffer_state"), draw(4), draw(4), draw(4)]
    last = [call("set_framebuffer_state"), vertex_buffers(12), call("bind_blend_state"), draw(3),
            call("bind_fs_state"), call("bind_vs_state"), vertex_buffers(24), draw(7), draw(3),
            call("set_framebuffer_state"), call("clear"),                # a target only cleared
            call("set_framebuffer_state"), vertex_buffers(20), draw(7)]
    with tempfile.TemporaryDirectory() as scratch:
        path = os.path.join(scratch, "trace.xml")
        with open(path, "w") as f:
            f.write(trace(first, last))
        targets = pipe_calls.per_target(pipe_calls.last_frame(path))
    assert len(targets) == 2, targets
    counts, modes, strides = targets[0]
    assert counts["draw_vbo"] == 3 and counts["bind_blend_state"] == 1 and counts["bind_fs_state"] == 1
    assert modes == {"line strips": 2, "quads": 1}, modes
    assert strides == {12: 1, 24: 1}, strides
    counts, modes, strides = targets[1]
    assert counts["draw_vbo"] == 1 and modes == {"quads": 1} and strides == {20: 1}


def test_a_trace_without_a_frame_shown_is_refused():
    with tempfile.TemporaryDirectory() as scratch:
        path = os.path.join(scratch, "trace.xml")
        with open(path, "w") as f:
            f.write("<?xml version='1.0'?>\n<trace version='0.1'>\n%s</trace>\n" % draw(4))
        try:
            pipe_calls.last_frame(path)
        except SystemExit as e:
            assert "no frame shown" in str(e)
        else:
            raise AssertionError("a trace without a frame was read as one")


if __name__ == "__main__":
    test_the_last_frame_is_counted_per_render_target()
    test_a_trace_without_a_frame_shown_is_refused()
    print("pipe_calls_test: passed")
