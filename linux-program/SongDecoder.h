// Any song FFmpeg reads (mp3, ogg, opus, flac, m4a, wav...), decoded as the
// frames reach it: only the samples still to be shown are kept, so an hour
// of music takes no more memory than a second.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct SongDecoderState;

// The samples of one song's best audio stream (a cover picture is not one),
// from `startSeconds` on, for `durationSeconds` (0: to the end).
class SongDecoder {
public:
    // Not copied: it owns the FFmpeg state.
    SongDecoder();
    ~SongDecoder();

    // False with the reason when the file holds no audio FFmpeg can decode.
    bool Open(const std::string& path, double startSeconds, double durationSeconds, std::string& error);

    int Rate() const;        // the song's own sample rate: nothing is resampled
    int Channels() const;    // of the stream, before the first two are taken
    const char* CodecName() const;
    // What the container says, for the progress line; 0 when unknown.
    long long EstimatedSamples() const;

    // Samples decoded so far, after the cut; all of them once Ended().
    long long Available() const { return available_; }
    bool Ended() const { return ended_; }
    // Decodes the next packet's samples. False at the end of the song, or
    // on a read failure with `error` set.
    bool DecodeMore(std::string& error);

    // `count` samples from sample `start` on, the first channel on the left
    // and the second on the right (a mono song on both), as the WAV reader
    // gives them; silence past the end. Decodes as far as needed. Samples
    // before `start` are dropped: starts must not go back.
    bool Fill(long long start, int count, std::int16_t* left, std::int16_t* right, std::string& error);

    // Every sample after the cut, once, in order: 16-bit interleaved in the
    // stream's channel layout (as FFmpeg's AVChannelLayout describes it,
    // passed as `layout`), for a sound track. False stops the decoding.
    std::function<bool(const std::int16_t* samples, int frames, const void* layout)> onSamples;

private:
    bool Append(const std::int16_t* samples, int frames, std::string& error);

    std::unique_ptr<SongDecoderState> state_;
    long long available_ = 0;
    bool ended_ = false;
};
