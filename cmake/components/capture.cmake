# Capture: the show rendered into a video file with its sound (FFmpeg libraries), recorded and replayed
# play sessions, and files written whole or not at all. The shell's message loop, clock and frame driver
# call into it, so the show needs this component.
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libswresample libavutil)
quarnel_library(quarnel_capture_platform
    SOURCES platform/video_encoder.cpp platform/output_file.cpp platform/sound_stream.cpp
    LIBS PkgConfig::FFMPEG PkgConfig::SDL2)
quarnel_library(quarnel_capture
    SOURCES shell/capture_options.cpp shell/session_recording.cpp shell/video_capture.cpp
    LIBS quarnel_capture_platform)
