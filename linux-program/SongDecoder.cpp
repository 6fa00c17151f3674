#include "linux-program/SongDecoder.h"

#include "linux-program/FfmpegError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

struct SongDecoderState {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwrContext* swr = nullptr;
    int stream = -1;
    int rate = 0;
    // What the converter was set up for; a stream may change mid-way.
    int inFormat = -1;
    int inRate = 0;
    AVChannelLayout layout = {};
    bool draining = false;
    long long skip = 0;   // samples still to drop before --start
    long long left = -1;  // samples still to keep for --duration; -1: all
    std::vector<std::int16_t> interleaved;
    // Samples from bufferStart on, still to be shown.
    std::vector<std::int16_t> bufferLeft;
    std::vector<std::int16_t> bufferRight;
    long long bufferStart = 0;
    long long keepFrom = 0;

    ~SongDecoderState()
    {
        swr_free(&swr);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        av_channel_layout_uninit(&layout);
    }
};

SongDecoder::SongDecoder() : state_(std::make_unique<SongDecoderState>()) {}
SongDecoder::~SongDecoder() = default;

bool SongDecoder::Open(const std::string& path, double startSeconds, double durationSeconds, std::string& error)
{
    SongDecoderState& s = *state_;
    // Our own one-line messages say what failed; FFmpeg's would repeat per packet.
    av_log_set_level(AV_LOG_FATAL);
    int code = avformat_open_input(&s.format, path.c_str(), nullptr, nullptr);
    if (code < 0)
        return error = "not a song FFmpeg can read (" + AvError(code) + ")", false;
    code = avformat_find_stream_info(s.format, nullptr);
    if (code < 0)
        return error = "cannot read its streams (" + AvError(code) + ")", false;
    // An mp3's cover is a video stream: only audio is looked for.
    const AVCodec* decoder = nullptr;
    s.stream = av_find_best_stream(s.format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (s.stream == AVERROR_DECODER_NOT_FOUND)
        return error = "no decoder for its audio", false;
    if (s.stream < 0)
        return error = "no audio in it", false;
    for (unsigned i = 0; i < s.format->nb_streams; ++i)
        if (static_cast<int>(i) != s.stream)
            s.format->streams[i]->discard = AVDISCARD_ALL;
    const AVCodecParameters* parameters = s.format->streams[s.stream]->codecpar;
    s.codec = avcodec_alloc_context3(decoder);
    if (s.codec == nullptr || avcodec_parameters_to_context(s.codec, parameters) < 0)
        return error = "not enough memory for its decoder", false;
    code = avcodec_open2(s.codec, decoder, nullptr);
    if (code < 0)
        return error = std::string("cannot decode its ") + decoder->name + " audio (" + AvError(code) + ")", false;
    s.rate = s.codec->sample_rate;
    if (s.rate <= 0 || s.codec->ch_layout.nb_channels <= 0)
        return error = "its audio has no sample rate or no channels", false;
    s.packet = av_packet_alloc();
    s.frame = av_frame_alloc();
    if (s.packet == nullptr || s.frame == nullptr)
        return error = "not enough memory for its decoder", false;
    s.skip = std::llround(startSeconds * s.rate);
    // However short, a duration keeps a sample: a frame's worth of video.
    if (durationSeconds > 0)
        s.left = std::max<long long>(1, std::llround(durationSeconds * s.rate));
    return true;
}

int SongDecoder::Rate() const { return state_->rate; }
int SongDecoder::Channels() const { return state_->codec ? state_->codec->ch_layout.nb_channels : 0; }
const char* SongDecoder::CodecName() const { return state_->codec ? state_->codec->codec->name : ""; }

long long SongDecoder::EstimatedSamples() const
{
    const SongDecoderState& s = *state_;
    const AVStream* stream = s.format->streams[s.stream];
    double seconds = 0;
    if (stream->duration != AV_NOPTS_VALUE)
        seconds = stream->duration * av_q2d(stream->time_base);
    else if (s.format->duration != AV_NOPTS_VALUE)
        seconds = s.format->duration / static_cast<double>(AV_TIME_BASE);
    long long samples = std::max<long long>(0, std::llround(seconds * s.rate) - s.skip);
    return s.left >= 0 ? std::min(samples, s.left) : samples;
}

bool SongDecoder::Append(const std::int16_t* samples, int frames, std::string& error)
{
    SongDecoderState& s = *state_;
    const int channels = s.layout.nb_channels;
    const long long dropped = std::min<long long>(s.skip, frames);
    s.skip -= dropped;
    samples += dropped * channels;
    long long kept = frames - dropped;
    if (s.left >= 0) {
        kept = std::min(kept, s.left);
        s.left -= kept;
    }
    if (kept == 0)
        return true;
    if (onSamples && !onSamples(samples, static_cast<int>(kept), &s.layout))
        return error = "the sound track could not be written", false;
    const long long first = std::max<long long>(0, s.keepFrom - available_);
    for (long long i = first; i < kept; ++i) {
        const std::int16_t* frame = samples + i * channels;
        s.bufferLeft.push_back(frame[0]);
        s.bufferRight.push_back(frame[channels > 1 ? 1 : 0]);
    }
    if (s.bufferLeft.size() == static_cast<std::size_t>(kept - first))
        s.bufferStart = available_ + first;
    available_ += kept;
    return true;
}

bool SongDecoder::DecodeMore(std::string& error)
{
    SongDecoderState& s = *state_;
    while (!ended_) {
        if (s.left == 0) {
            ended_ = true;
            break;
        }
        int code = avcodec_receive_frame(s.codec, s.frame);
        if (code == 0) {
            const AVFrame& f = *s.frame;
            if (s.swr == nullptr || f.format != s.inFormat || f.sample_rate != s.inRate ||
                av_channel_layout_compare(&f.ch_layout, &s.layout) != 0) {
                // Unordered channels (a WAV without a mask) get the usual order.
                AVChannelLayout layout = {};
                if (f.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
                    av_channel_layout_default(&layout, f.ch_layout.nb_channels);
                else
                    av_channel_layout_copy(&layout, &f.ch_layout);
                swr_free(&s.swr);
                // Only the sample format changes (and the rate, should the
                // stream change its own): no channel is mixed into another.
                code = swr_alloc_set_opts2(&s.swr, &layout, AV_SAMPLE_FMT_S16, s.rate, &layout,
                                           static_cast<AVSampleFormat>(f.format), f.sample_rate, 0, nullptr);
                if (code >= 0)
                    code = swr_init(s.swr);
                av_channel_layout_uninit(&s.layout);
                s.layout = layout;
                s.inFormat = f.format;
                s.inRate = f.sample_rate;
                if (code < 0) {
                    av_frame_unref(s.frame);
                    return error = "cannot convert its samples (" + AvError(code) + ")", false;
                }
            }
            const int room = swr_get_out_samples(s.swr, f.nb_samples);
            s.interleaved.resize(static_cast<std::size_t>(std::max(room, 0)) * s.layout.nb_channels);
            std::uint8_t* out = reinterpret_cast<std::uint8_t*>(s.interleaved.data());
            const int frames =
                swr_convert(s.swr, &out, room, const_cast<const std::uint8_t**>(f.extended_data), f.nb_samples);
            av_frame_unref(s.frame);
            if (frames < 0)
                return error = "cannot convert its samples (" + AvError(frames) + ")", false;
            return Append(s.interleaved.data(), frames, error);
        }
        if (code == AVERROR_EOF) {
            ended_ = true;
            break;
        }
        // A damaged frame is skipped, as players do.
        if (code != AVERROR(EAGAIN) && code != AVERROR_INVALIDDATA)
            return error = "cannot decode it (" + AvError(code) + ")", false;
        if (code == AVERROR_INVALIDDATA)
            continue;
        if (s.draining)
            return error = "its decoder stopped early", false;
        code = av_read_frame(s.format, s.packet);
        if (code == AVERROR_EOF) {
            s.draining = true;
            avcodec_send_packet(s.codec, nullptr);
            continue;
        }
        if (code < 0)
            return error = "cannot read it any more (" + AvError(code) + ")", false;
        if (s.packet->stream_index == s.stream) {
            code = avcodec_send_packet(s.codec, s.packet);
            if (code < 0 && code != AVERROR_INVALIDDATA && code != AVERROR(EAGAIN)) {
                av_packet_unref(s.packet);
                return error = "cannot decode it (" + AvError(code) + ")", false;
            }
        }
        av_packet_unref(s.packet);
    }
    return false;
}

bool SongDecoder::Fill(long long start, int count, std::int16_t* left, std::int16_t* right, std::string& error)
{
    SongDecoderState& s = *state_;
    // What comes before the block is never shown again.
    s.keepFrom = std::max(s.keepFrom, start);
    const long long drop = std::clamp<long long>(s.keepFrom - s.bufferStart, 0, s.bufferLeft.size());
    s.bufferLeft.erase(s.bufferLeft.begin(), s.bufferLeft.begin() + drop);
    s.bufferRight.erase(s.bufferRight.begin(), s.bufferRight.begin() + drop);
    s.bufferStart += drop;
    error.clear();
    while (available_ < start + count && DecodeMore(error)) {
    }
    if (!error.empty())
        return false;
    for (int i = 0; i < count; ++i) {
        const long long at = start + i - s.bufferStart;
        const bool inside = start + i >= 0 && at >= 0 && at < static_cast<long long>(s.bufferLeft.size());
        left[i] = inside ? s.bufferLeft[at] : 0;
        right[i] = inside ? s.bufferRight[at] : 0;
    }
    return true;
}
