#include "audio/WavReader.h"

#include "files/Utf8File.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

constexpr int pcmTag = 1;
constexpr int floatTag = 3;
constexpr int extensibleTag = 0xFFFE;
constexpr std::uint32_t minRate = 1000;
constexpr std::uint32_t maxRate = 384000;
// A WAVE_FORMAT_EXTENSIBLE sub-format is a GUID whose first two bytes are the
// plain format tag and whose other fourteen are these.
constexpr std::array<unsigned char, 14> guidTail = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                     0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Reads go through a buffer of about this size, at least one frame.
constexpr std::size_t readBytes = 64 * 1024;

std::uint32_t U32(const unsigned char* bytes)
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

int U16(const unsigned char* bytes)
{
    return bytes[0] | bytes[1] << 8;
}

// 64-bit offsets on both sides: files may pass 2 GB.
bool SeekTo(std::FILE* file, std::uint64_t at)
{
#ifdef _WIN32
    return _fseeki64(file, static_cast<long long>(at), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(at), SEEK_SET) == 0;
#endif
}

std::uint64_t FileSize(std::FILE* file)
{
#ifdef _WIN32
    if (_fseeki64(file, 0, SEEK_END) != 0)
        return 0;
    const long long size = _ftelli64(file);
#else
    if (fseeko(file, 0, SEEK_END) != 0)
        return 0;
    const long long size = ftello(file);
#endif
    return size > 0 ? static_cast<std::uint64_t>(size) : 0;
}

bool ReadAt(std::FILE* file, std::uint64_t at, unsigned char* bytes, std::size_t count)
{
    return SeekTo(file, at) && std::fread(bytes, 1, count, file) == count;
}

// The four bytes as written, quoted; any other byte, the quote and the
// backslash as \xHH, so a damaged id can be told from another.
std::string ChunkName(const unsigned char* id)
{
    std::string name = "'";
    for (int i = 0; i < 4; ++i) {
        if (id[i] >= 0x20 && id[i] < 0x7F && id[i] != '\'' && id[i] != '\\') {
            name += static_cast<char>(id[i]);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", static_cast<unsigned>(id[i]));
            name += escaped;
        }
    }
    return name + "'";
}

std::string Hex(int value)
{
    char text[8];
    std::snprintf(text, sizeof(text), "0x%04X", static_cast<unsigned>(value));
    return text;
}

// Fills `format` from the body of a "fmt " chunk; false with the reason.
bool ReadFormat(const unsigned char* body, std::uint32_t size, WavFormat& format, std::string& error)
{
    if (size < 16) {
        error = "'fmt ' chunk too short (" + std::to_string(size) + " bytes, at least 16)";
        return false;
    }
    int tag = U16(body);
    const int channels = U16(body + 2);
    const std::uint32_t rate = U32(body + 4);
    const int blockAlign = U16(body + 12);
    const int bits = U16(body + 14);
    if (tag == extensibleTag) {
        if (size < 40) {
            error = "'fmt ' chunk too short for WAVE_FORMAT_EXTENSIBLE (" + std::to_string(size) + " bytes, 40)";
            return false;
        }
        if (!std::equal(guidTail.begin(), guidTail.end(), body + 26)) {
            error = "unsupported encoding: WAVE_FORMAT_EXTENSIBLE with an unknown sub-format";
            return false;
        }
        tag = U16(body + 24);
    }
    if (tag != pcmTag && tag != floatTag) {
        error = "unsupported encoding: format tag " + Hex(tag) + " (only PCM and IEEE float are read)";
        return false;
    }
    const bool integerBits = bits == 8 || bits == 16 || bits == 24 || bits == 32;
    const bool floatBits = bits == 32 || bits == 64;
    if (tag == pcmTag ? !integerBits : !floatBits) {
        error = "unsupported encoding: " + std::to_string(bits) + "-bit " + (tag == pcmTag ? "PCM" : "float") +
                " samples (PCM is read at 8, 16, 24 or 32 bits, float at 32 or 64)";
        return false;
    }
    if (channels == 0) {
        error = "no channels";
        return false;
    }
    if (rate < minRate || rate > maxRate) {
        error = "sample rate " + std::to_string(rate) + " Hz out of range (" + std::to_string(minRate) + " to " +
                std::to_string(maxRate) + ")";
        return false;
    }
    // A frame is read as the samples side by side: any other block size
    // would shift every frame after the first.
    const int frameBytes = channels * (bits / 8);
    if (blockAlign != frameBytes) {
        error = "block align of " + std::to_string(blockAlign) + " bytes does not match " +
                std::to_string(channels) + " channels of " + std::to_string(bits) + "-bit samples (" +
                std::to_string(frameBytes) + " bytes)";
        return false;
    }
    format.encoding = tag == pcmTag ? WavEncoding::Integer : WavEncoding::Float;
    format.rate = static_cast<int>(rate);
    format.channels = channels;
    format.bytesPerSample = bits / 8;
    return true;
}

bool ReadHeader(std::FILE* file, WavFormat& format, std::string& error)
{
    const std::uint64_t size = FileSize(file);
    unsigned char riff[12];
    if (size < 12 || !ReadAt(file, 0, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        error = "not a RIFF/WAVE file";
        return false;
    }
    // The RIFF size is ignored: writers that stream leave it wrong. Offsets
    // are 64-bit, so no chunk size can wrap the walk back.
    bool haveFormat = false;
    bool haveData = false;
    std::uint64_t dataBytes = 0;
    bool dataCut = false;
    std::string cutShort;
    for (std::uint64_t at = 12; at + 8 <= size && !(haveFormat && haveData);) {
        unsigned char header[8];
        if (!ReadAt(file, at, header, 8)) {
            error = "cannot read the file";
            return false;
        }
        const std::uint32_t chunkSize = U32(header + 4);
        const std::uint64_t room = size - at - 8;
        if (std::memcmp(header, "data", 4) == 0) {
            // A header that claims more than is there plays what is there.
            haveData = true;
            format.dataOffset = at + 8;
            dataBytes = std::min<std::uint64_t>(chunkSize, room);
            dataCut = chunkSize > room;
        } else if (chunkSize > room) {
            cutShort = "truncated: chunk " + ChunkName(header) + " runs past the end of the file";
            break;
        } else if (std::memcmp(header, "fmt ", 4) == 0) {
            std::array<unsigned char, 40> body = {};
            const std::uint32_t length = std::min<std::uint32_t>(chunkSize, body.size());
            if (!ReadAt(file, at + 8, body.data(), length)) {
                error = "cannot read the file";
                return false;
            }
            if (!ReadFormat(body.data(), chunkSize, format, error))
                return false;
            haveFormat = true;
        }
        at += 8 + static_cast<std::uint64_t>(chunkSize) + (chunkSize & 1);  // chunks are word-aligned
    }
    if (!haveFormat || !haveData) {
        error = !cutShort.empty() ? cutShort : !haveFormat ? "no 'fmt ' chunk" : "no 'data' chunk";
        return false;
    }
    format.frameCount = dataBytes / (static_cast<std::uint64_t>(format.channels) * format.bytesPerSample);
    if (format.frameCount == 0) {
        error = dataCut ? "truncated: the file ends before the first sample" : "no samples in the 'data' chunk";
        return false;
    }
    return true;
}

}  // namespace

std::int16_t Sample16(const unsigned char* bytes, const WavFormat& format)
{
    if (format.encoding == WavEncoding::Float) {
        double value = 0.0;
        if (format.bytesPerSample == 4) {
            float single;
            std::memcpy(&single, bytes, 4);
            value = single;
        } else {
            std::memcpy(&value, bytes, 8);
        }
        if (!(value == value))  // NaN
            return 0;
        return static_cast<std::int16_t>(std::clamp(std::floor(value * 32768.0), -32768.0, 32767.0));
    }
    if (format.bytesPerSample == 1)
        return static_cast<std::int16_t>((bytes[0] - 128) * 256);
    const int top = format.bytesPerSample - 2;
    return static_cast<std::int16_t>(bytes[top] | bytes[top + 1] << 8);
}

bool OpenWav(const std::string& path, WavReader& reader, std::string& error)
{
    CloseWav(reader);
    reader.file = OpenFile(path, "rb");
    if (reader.file == nullptr) {
        error = std::string("cannot open the file (") + std::strerror(errno) + ")";
        return false;
    }
    if (!ReadHeader(reader.file, reader.format, error)) {
        CloseWav(reader);
        return false;
    }
    const std::size_t frameBytes = static_cast<std::size_t>(reader.format.channels) * reader.format.bytesPerSample;
    reader.buffer.resize(std::max(frameBytes, readBytes - readBytes % frameBytes));
    return true;
}

WavReader::~WavReader()
{
    CloseWav(*this);
}

void CloseWav(WavReader& reader)
{
    if (reader.file != nullptr)
        std::fclose(reader.file);
    reader.file = nullptr;
    reader.format = WavFormat();
}

bool ReadWavFrames(WavReader& reader, long long start, int count, std::int16_t* left, std::int16_t* right)
{
    const WavFormat& format = reader.format;
    const long long frames = static_cast<long long>(format.frameCount);
    const long long first = std::clamp(start, 0LL, frames);
    const long long end = std::clamp(start + count, 0LL, frames);
    std::fill(left, left + count, 0);
    std::fill(right, right + count, 0);
    if (first >= end)
        return true;

    const std::size_t frameBytes = static_cast<std::size_t>(format.channels) * format.bytesPerSample;
    const long long perRead = static_cast<long long>(reader.buffer.size() / frameBytes);
    const std::size_t secondChannel = format.channels > 1 ? format.bytesPerSample : 0;
    if (reader.file == nullptr || !SeekTo(reader.file, format.dataOffset + first * frameBytes))
        return false;
    for (long long at = first; at < end;) {
        const long long batch = std::min(perRead, end - at);
        if (std::fread(reader.buffer.data(), frameBytes, static_cast<std::size_t>(batch), reader.file) !=
            static_cast<std::size_t>(batch))
            return false;
        for (long long i = 0; i < batch; ++i) {
            const unsigned char* frame = reader.buffer.data() + i * frameBytes;
            left[at - start + i] = Sample16(frame, format);
            right[at - start + i] = Sample16(frame + secondChannel, format);
        }
        at += batch;
    }
    return true;
}
