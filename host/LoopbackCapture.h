// What the PC plays, through WASAPI in shared mode: loopback capture of a
// render endpoint, or, where loopback is not available, a capture endpoint
// that records the output. Faults of the device reopen it; none ends the run.
#pragma once

#include "audio/CaptureBuffer.h"

#include <cstdint>
#include <string>

struct IMMDeviceEnumerator;
struct IAudioClient;
struct IAudioCaptureClient;

struct ListenSource {
    std::string device;  // the endpoint asked for; empty: the default output
    bool comStarted = false;
    IMMDeviceEnumerator* enumerator = nullptr;
    IAudioClient* client = nullptr;
    IAudioCaptureClient* capture = nullptr;
    std::wstring name;           // of the endpoint captured
    bool loopback = false;       // it records an output rather than a capture endpoint
    std::wstring renderDefault;  // ids of the defaults it depends on, when
    std::wstring captureDefault; // it follows them; empty otherwise
    double nextCheck = 0.0;      // when to look at the defaults or retry
    CaptureBuffer buffer;
};

// Opens the endpoint and prints one line saying which it is and why. False
// with a one-line message when there is nothing to listen to.
bool OpenListening(const std::string& device, ListenSource& source, double now, std::string& error);

// Takes the packets that came, reopens after a lost device or a changed
// default (a line says so), and gives the block to show.
void ListenBlock(ListenSource& source, int latencyMs, double now, std::int16_t* left, std::int16_t* right);

void CloseListening(ListenSource& source);

// Prints the render and capture endpoints; false with a message when there
// is no audio at all.
bool ListAudioDevices(std::string& error);
