#include "host/LoopbackCapture.h"

#include "host/Utf8Path.h"

#include <windows.h>

#include <audioclient.h>
#include <ksmedia.h>
#include <mmdeviceapi.h>
// The property key of an endpoint's name is defined here, not in a library.
#include <initguid.h>
#include <functiondiscoverykeys_devpkey.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>
#include <vector>

namespace {

// One second, in 100 ns units: packets wait there while a slow frame renders.
constexpr REFERENCE_TIME bufferDuration = 10000000;
// How often the defaults are compared and a lost device is looked for.
constexpr double checkSeconds = 1.0;
// Enough for a second of 10 ms packets; a device that sends more is drained next frame.
constexpr int maxPacketsPerFrame = 200;
// A capture endpoint sends packets, silent ones too, every few milliseconds:
// one that has sent none for this long has lost its device without saying
// so, as wine's PulseAudio driver can when the server dies. A new stream may
// take longer for its first. Loopback sends nothing while the output is
// silent, so this is for capture endpoints only.
constexpr double stalledSeconds = 1.0;
constexpr double firstPacketSeconds = 3.0;

struct AudioError {
    HRESULT code;
    const char* name;
    const char* meaning;
};

// The system has no texts for these (Wine none for the first either).
const std::array<AudioError, 10> audioErrors = {{
    {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG", "the system has no audio device service"},
    {AUDCLNT_E_WRONG_ENDPOINT_TYPE, "AUDCLNT_E_WRONG_ENDPOINT_TYPE", "the endpoint cannot do this"},
    {AUDCLNT_E_DEVICE_INVALIDATED, "AUDCLNT_E_DEVICE_INVALIDATED", "the device was removed or disabled"},
    {AUDCLNT_E_SERVICE_NOT_RUNNING, "AUDCLNT_E_SERVICE_NOT_RUNNING", "the audio service is not running"},
    {AUDCLNT_E_DEVICE_IN_USE, "AUDCLNT_E_DEVICE_IN_USE", "another program holds the device"},
    {AUDCLNT_E_UNSUPPORTED_FORMAT, "AUDCLNT_E_UNSUPPORTED_FORMAT", "a sample format this host cannot read"},
    {AUDCLNT_E_ENDPOINT_CREATE_FAILED, "AUDCLNT_E_ENDPOINT_CREATE_FAILED", "the endpoint could not be opened"},
    {AUDCLNT_E_NOT_INITIALIZED, "AUDCLNT_E_NOT_INITIALIZED", "the stream is not set up"},
    {AUDCLNT_E_BUFFER_ERROR, "AUDCLNT_E_BUFFER_ERROR", "the device's buffer failed"},
    {AUDCLNT_E_RESOURCES_INVALIDATED, "AUDCLNT_E_RESOURCES_INVALIDATED", "the stream's resources were lost"},
}};

std::string HresultText(HRESULT result)
{
    char code[16];
    std::snprintf(code, sizeof(code), "0x%08lX", static_cast<unsigned long>(result));
    for (const AudioError& error : audioErrors)
        if (error.code == result)
            return std::string(code) + " " + error.name + ": " + error.meaning;
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(result), 0,
                   text, sizeof(text), nullptr);
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                                message.back() == '.'))
        message.pop_back();
    return message.empty() ? code : std::string(code) + ": " + message;
}

std::wstring Lower(std::wstring text)
{
    if (!text.empty())
        CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

template <class Interface>
void Release(Interface*& object)
{
    if (object != nullptr)
        object->Release();
    object = nullptr;
}

std::wstring DeviceId(IMMDevice* device)
{
    LPWSTR id = nullptr;
    if (FAILED(device->GetId(&id)))
        return L"";
    const std::wstring copy = id;
    CoTaskMemFree(id);
    return copy;
}

std::wstring DeviceName(IMMDevice* device)
{
    IPropertyStore* store = nullptr;
    std::wstring name;
    if (SUCCEEDED(device->OpenPropertyStore(STGM_READ, &store))) {
        PROPVARIANT value;
        PropVariantInit(&value);
        if (SUCCEEDED(store->GetValue(PKEY_Device_FriendlyName, &value)) && value.vt == VT_LPWSTR)
            name = value.pwszVal;
        PropVariantClear(&value);
        store->Release();
    }
    return name.empty() ? L"(no name)" : name;
}

struct Endpoint {
    std::wstring id;
    std::wstring name;
};

std::vector<Endpoint> ActiveEndpoints(IMMDeviceEnumerator* enumerator, EDataFlow flow)
{
    std::vector<Endpoint> endpoints;
    IMMDeviceCollection* collection = nullptr;
    UINT count = 0;
    if (FAILED(enumerator->EnumAudioEndpoints(flow, DEVICE_STATE_ACTIVE, &collection)) ||
        FAILED(collection->GetCount(&count)))
        count = 0;
    for (UINT i = 0; i < count; ++i) {
        IMMDevice* device = nullptr;
        if (FAILED(collection->Item(i, &device)))
            continue;
        endpoints.push_back({DeviceId(device), DeviceName(device)});
        device->Release();
    }
    Release(collection);
    return endpoints;
}

std::wstring DefaultId(IMMDeviceEnumerator* enumerator, EDataFlow flow)
{
    IMMDevice* device = nullptr;
    if (FAILED(enumerator->GetDefaultAudioEndpoint(flow, eConsole, &device)))
        return L"";
    const std::wstring id = DeviceId(device);
    device->Release();
    return id;
}

const Endpoint* FindById(const std::vector<Endpoint>& endpoints, const std::wstring& id)
{
    for (const Endpoint& endpoint : endpoints)
        if (endpoint.id == id)
            return &endpoint;
    return nullptr;
}

// The whole name, any case; else the first name that holds it.
const Endpoint* FindByName(const std::vector<Endpoint>& endpoints, const std::wstring& wanted, bool whole)
{
    for (const Endpoint& endpoint : endpoints) {
        const std::wstring name = Lower(endpoint.name);
        if (whole ? name == Lower(wanted) : name.find(Lower(wanted)) != std::wstring::npos)
            return &endpoint;
    }
    return nullptr;
}

// The mix format as the WAV reader's sample layout; false for one it cannot read.
bool ToWavFormat(const WAVEFORMATEX& mix, WavFormat& format)
{
    WORD tag = mix.wFormatTag;
    if (tag == WAVE_FORMAT_EXTENSIBLE && mix.cbSize >= 22) {
        const auto& extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(mix);
        tag = IsEqualGUID(extensible.SubFormat, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT) ? WAVE_FORMAT_IEEE_FLOAT
              : IsEqualGUID(extensible.SubFormat, KSDATAFORMAT_SUBTYPE_PCM)   ? WAVE_FORMAT_PCM
                                                                               : 0;
    }
    if (mix.nChannels == 0 || mix.nSamplesPerSec == 0 || mix.nBlockAlign % mix.nChannels != 0)
        return false;
    format.channels = mix.nChannels;
    format.rate = static_cast<int>(mix.nSamplesPerSec);
    format.bytesPerSample = mix.nBlockAlign / mix.nChannels;
    format.encoding = tag == WAVE_FORMAT_IEEE_FLOAT ? WavEncoding::Float : WavEncoding::Integer;
    if (tag == WAVE_FORMAT_IEEE_FLOAT)
        return format.bytesPerSample == 4 || format.bytesPerSample == 8;
    return tag == WAVE_FORMAT_PCM && format.bytesPerSample >= 1 && format.bytesPerSample <= 4;
}

std::string FormatText(const WavFormat& format)
{
    return std::string(format.encoding == WavEncoding::Float ? "float " : "integer ") +
           std::to_string(8 * format.bytesPerSample) + "-bit, " + std::to_string(format.channels) + " channel" +
           (format.channels == 1 ? "" : "s") + ", " + std::to_string(format.rate) + " Hz";
}

void StopStream(ListenSource& source)
{
    if (source.client != nullptr)
        source.client->Stop();
    Release(source.capture);
    Release(source.client);
}

// Shared mode on the endpoint's own mix format; `loopback` records what a
// render endpoint plays. False with the failed step and its result.
bool StartStream(ListenSource& source, const Endpoint& endpoint, bool loopback, double now, std::string& failure)
{
    IMMDevice* device = nullptr;
    WAVEFORMATEX* mix = nullptr;
    WavFormat format;
    const char* step = "GetDevice";
    HRESULT result = source.enumerator->GetDevice(endpoint.id.c_str(), &device);
    if (SUCCEEDED(result)) {
        step = "Activate";
        result = device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&source.client));
    }
    if (SUCCEEDED(result)) {
        step = "GetMixFormat";
        result = source.client->GetMixFormat(&mix);
        if (SUCCEEDED(result) && !ToWavFormat(*mix, format))
            result = AUDCLNT_E_UNSUPPORTED_FORMAT;
    }
    if (SUCCEEDED(result)) {
        step = "Initialize";
        result = source.client->Initialize(AUDCLNT_SHAREMODE_SHARED, loopback ? AUDCLNT_STREAMFLAGS_LOOPBACK : 0,
                                           bufferDuration, 0, mix, nullptr);
    }
    if (SUCCEEDED(result)) {
        step = "GetService";
        result = source.client->GetService(__uuidof(IAudioCaptureClient), reinterpret_cast<void**>(&source.capture));
    }
    if (SUCCEEDED(result)) {
        step = "Start";
        result = source.client->Start();
    }
    CoTaskMemFree(mix);
    Release(device);
    if (FAILED(result)) {
        failure = std::string(step) + ": " + HresultText(result);
        StopStream(source);
        return false;
    }
    source.name = endpoint.name;
    source.loopback = loopback;
    StartCaptureBuffer(source.buffer, format, now);
    return true;
}

std::string Quoted(const std::wstring& name)
{
    return "\"" + Utf8Text(name.c_str()) + "\"";
}

// Loopback of the named or default output; where that fails, the capture
// endpoint that records it ("Monitor of ..."), else the default capture
// endpoint. `line` says which and why.
bool OpenEndpoint(ListenSource& source, double now, std::string& line, std::string& error)
{
    IMMDeviceEnumerator* enumerator = source.enumerator;
    const std::vector<Endpoint> renders = ActiveEndpoints(enumerator, eRender);
    const std::vector<Endpoint> captures = ActiveEndpoints(enumerator, eCapture);
    const std::wstring wanted = WidePath(source.device);
    source.renderDefault = source.device.empty() ? DefaultId(enumerator, eRender) : L"";
    source.captureDefault.clear();

    const Endpoint* output = FindById(renders, source.renderDefault);
    if (!source.device.empty()) {
        const Endpoint* named[] = {FindByName(renders, wanted, true), FindByName(captures, wanted, true),
                                   FindByName(renders, wanted, false), FindByName(captures, wanted, false)};
        const auto found = std::find_if(std::begin(named), std::end(named), [](const Endpoint* e) { return e; });
        if (found == std::end(named)) {
            error = "no audio endpoint named '" + source.device + "' (--list-devices lists them)";
            return false;
        }
        const bool capture = (found - std::begin(named)) % 2 == 1;
        if (capture) {
            std::string failure;
            if (!StartStream(source, **found, false, now, failure)) {
                error = "cannot capture " + Quoted((*found)->name) + " (" + failure + ")";
                return false;
            }
            line = Quoted(source.name) + ", the capture endpoint asked for";
            return true;
        }
        output = *found;
    }

    std::string loopbackFailure = "there is no output endpoint";
    if (output != nullptr) {
        if (StartStream(source, *output, true, now, loopbackFailure)) {
            line = "loopback of " + Quoted(output->name) + (source.device.empty() ? ", the default output" : "");
            return true;
        }
        loopbackFailure = "loopback of " + Quoted(output->name) + " is not available (" + loopbackFailure + ")";
    }
    const Endpoint* monitor = output != nullptr ? FindByName(captures, L"Monitor of " + output->name, true) : nullptr;
    for (auto at = captures.begin(); monitor == nullptr && at != captures.end(); ++at)
        if (Lower(at->name).rfind(L"monitor of ", 0) == 0)
            monitor = &*at;
    std::string failure;
    if (monitor != nullptr && StartStream(source, *monitor, false, now, failure)) {
        line = Quoted(source.name) + ", a capture endpoint that records the output: " + loopbackFailure;
        return true;
    }
    const std::string monitorFailure =
        monitor != nullptr ? "; cannot capture " + Quoted(monitor->name) + " (" + failure + ")" : "";
    const Endpoint* fallback = FindById(captures, DefaultId(enumerator, eCapture));
    if (fallback != nullptr && StartStream(source, *fallback, false, now, failure)) {
        source.captureDefault = fallback->id;
        line = Quoted(source.name) + ", the default capture endpoint: " + loopbackFailure +
               (monitor != nullptr ? monitorFailure : ", and no capture endpoint records the output");
        return true;
    }
    error = "no audio endpoint to listen to: " + loopbackFailure + monitorFailure +
            (fallback != nullptr ? "; cannot capture " + Quoted(fallback->name) + " (" + failure + ")"
                                 : "; no capture endpoint");
    return false;
}

HRESULT DrainPackets(ListenSource& source, double now)
{
    UINT32 waiting = 0;
    HRESULT result = source.capture->GetNextPacketSize(&waiting);
    for (int packets = 0; SUCCEEDED(result) && waiting > 0 && packets < maxPacketsPerFrame; ++packets) {
        BYTE* data = nullptr;
        UINT32 frames = 0;
        DWORD flags = 0;
        result = source.capture->GetBuffer(&data, &frames, &flags, nullptr, nullptr);
        if (FAILED(result))
            break;
        AppendPacket(source.buffer, flags & AUDCLNT_BUFFERFLAGS_SILENT ? nullptr : data, static_cast<long>(frames), now);
        result = source.capture->ReleaseBuffer(frames);
        if (SUCCEEDED(result))
            result = source.capture->GetNextPacketSize(&waiting);
    }
    return result;
}

void Reopen(ListenSource& source, double now, bool wasWaiting)
{
    std::string line;
    std::string error;
    StopStream(source);
    if (OpenEndpoint(source, now, line, error))
        std::printf("listening: %s; %s\n", line.c_str(), FormatText(source.buffer.format).c_str());
    else if (!wasWaiting)
        std::printf("listening: %s; silence until one comes, looking every second\n", error.c_str());
    std::fflush(stdout);
}

// True when a capture endpoint has sent nothing for longer than it may.
bool Stalled(const ListenSource& source, double now)
{
    const double allowed = source.buffer.packetEnd > 0 ? stalledSeconds : firstPacketSeconds;
    return !source.loopback && now - source.buffer.lastPacket > allowed;
}

bool DefaultsChanged(ListenSource& source)
{
    return (source.device.empty() && DefaultId(source.enumerator, eRender) != source.renderDefault) ||
           (!source.captureDefault.empty() && DefaultId(source.enumerator, eCapture) != source.captureDefault);
}

bool StartEnumerator(ListenSource& source, std::string& error)
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    source.comStarted = SUCCEEDED(com);
    const HRESULT result = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                            __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(&source.enumerator));
    if (SUCCEEDED(result))
        return true;
    error = "no audio: the system's audio endpoints cannot be listed (" + HresultText(result) + ")";
    CloseListening(source);
    return false;
}

}  // namespace

bool OpenListening(const std::string& device, ListenSource& source, double now, std::string& error)
{
    source.device = device;
    std::string line;
    if (!StartEnumerator(source, error))
        return false;
    if (!OpenEndpoint(source, now, line, error)) {
        CloseListening(source);
        return false;
    }
    std::printf("listening: %s; %s\n", line.c_str(), FormatText(source.buffer.format).c_str());
    std::fflush(stdout);
    source.nextCheck = now + checkSeconds;
    return true;
}

void ListenBlock(ListenSource& source, int latencyMs, double now, std::int16_t* left, std::int16_t* right)
{
    if (source.capture != nullptr) {
        const HRESULT result = DrainPackets(source, now);
        const bool stalled = SUCCEEDED(result) && Stalled(source, now);
        if (FAILED(result) || stalled) {
            std::printf("listening: %s stopped (%s); opening the device again\n", Quoted(source.name).c_str(),
                        stalled ? "no packet for a second" : HresultText(result).c_str());
            Reopen(source, now, false);
            source.nextCheck = now + checkSeconds;
        }
    }
    if (now >= source.nextCheck) {
        source.nextCheck = now + checkSeconds;
        if (source.capture == nullptr) {
            Reopen(source, now, true);
        } else if (DefaultsChanged(source)) {
            std::printf("listening: the default device changed; opening it\n");
            Reopen(source, now, false);
        }
    }
    KeepCaptureClock(source.buffer, now);
    CaptureBlock(source.buffer, latencyMs, left, right);
}

void CloseListening(ListenSource& source)
{
    StopStream(source);
    Release(source.enumerator);
    if (source.comStarted)
        CoUninitialize();
    source.comStarted = false;
}

bool ListAudioDevices(std::string& error)
{
    ListenSource source;
    if (!StartEnumerator(source, error))
        return false;
    bool any = false;
    for (const EDataFlow flow : {eRender, eCapture}) {
        std::printf(flow == eRender ? "output (render) endpoints, for loopback:\n" : "capture endpoints:\n");
        const std::wstring defaultId = DefaultId(source.enumerator, flow);
        const std::vector<Endpoint> endpoints = ActiveEndpoints(source.enumerator, flow);
        for (const Endpoint& endpoint : endpoints)
            std::printf("  %s%s\n", Quoted(endpoint.name).c_str(), endpoint.id == defaultId ? " (default)" : "");
        if (endpoints.empty())
            std::printf("  (none)\n");
        any = any || !endpoints.empty();
    }
    CloseListening(source);
    if (!any)
        error = "no audio endpoint";
    return any;
}
