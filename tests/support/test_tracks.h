// Generated Ogg Vorbis files for the sound and music tests and benchmarks, encoded with libvorbisenc.
// Each signal is a function of the frame number and the channel, with values in -1 ... 1.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

using TestSignal = std::function<float(int64_t frame, int channel)>;

// Writes `seconds` of the signal to an Ogg Vorbis file; false if the encoder or the file fails.
bool WriteTestTrack(const std::string& path, int channels, int rate, double seconds,
                    const TestSignal& signal);

TestSignal SineSignal(double frequency, double amplitude, int rate);
TestSignal SilentSignal();

// A fresh folder under the system's temporary folder, for the files of one test program.
std::string TestTrackFolder();

// Path of a cached track in TestTrackFolder(): written on first request, reused afterwards.
std::string CachedTestTrack(const std::string& name, int channels, int rate, double seconds,
                            const TestSignal& signal);
