#include "linux-program/VideoEncoder.h"

#include "linux-program/FfmpegError.h"

#include "linux-program/Yuv420.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <vector>

struct VideoEncoderState {
    VideoSettings settings;
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    AVFrame* picture = nullptr;     // points into `planes`
    AVFrame* soundFrame = nullptr;  // one AAC frame's samples
    AVPacket* videoPacket = nullptr;
    AVPacket* audioPacket = nullptr;
    SwsContext* toGif = nullptr;
    SwrContext* mixdown = nullptr;
    AVChannelLayout songLayout = {};
    AVAudioFifo* fifo = nullptr;
    std::vector<unsigned char> planes;
    std::vector<float> mixed[2];
    long long frames = 0;
    long long soundSamples = 0;
    bool opened = false;  // the file exists: avio must close it

    ~VideoEncoderState()
    {
        if (opened)
            avio_closep(&format->pb);
        avformat_free_context(format);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        av_frame_free(&picture);
        av_frame_free(&soundFrame);
        av_packet_free(&videoPacket);
        av_packet_free(&audioPacket);
        sws_freeContext(toGif);
        swr_free(&mixdown);
        av_audio_fifo_free(fifo);
        av_channel_layout_uninit(&songLayout);
    }
};

namespace {

bool Failed(int code, const std::string& what, std::string& error)
{
    error = what + " (" + AvError(code) + ")";
    return false;
}

// AAC has a fixed list of rates; above 48 kHz nobody hears the difference
// and the track only grows.
int SoundTrackRate(const AVCodec* codec, int songRate)
{
    if (songRate > 48000)
        return 48000;
    for (const int* rate = codec->supported_samplerates; rate && *rate; ++rate)
        if (*rate == songRate)
            return songRate;
    return 48000;
}

}  // namespace

VideoEncoder::VideoEncoder() : state_(std::make_unique<VideoEncoderState>()) {}
VideoEncoder::~VideoEncoder() = default;

long long VideoEncoder::VideoFrames() const { return state_->frames; }

bool VideoEncoder::Open(const std::string& path, const VideoSettings& settings, std::string& error)
{
    VideoEncoderState& s = *state_;
    // Our own one-line messages say what failed; FFmpeg's would repeat per packet.
    av_log_set_level(AV_LOG_FATAL);
    s.settings = settings;
    const bool mp4 = settings.kind == VideoKind::Mp4;
    int code = avformat_alloc_output_context2(&s.format, nullptr, mp4 ? "mp4" : "gif", path.c_str());
    if (code < 0)
        return Failed(code, "no muxer", error);

    const AVCodec* videoCodec = mp4 ? avcodec_find_encoder_by_name("libx264") : avcodec_find_encoder(AV_CODEC_ID_GIF);
    if (videoCodec == nullptr)
        return error = mp4 ? "FFmpeg has no libx264 encoder" : "FFmpeg has no GIF encoder", false;
    s.video = avcodec_alloc_context3(videoCodec);
    s.picture = av_frame_alloc();
    s.videoPacket = av_packet_alloc();
    s.audioPacket = av_packet_alloc();
    if (!s.video || !s.picture || !s.videoPacket || !s.audioPacket)
        return error = "not enough memory for the encoder", false;
    const AVRational rate = av_d2q(settings.fps, 1 << 20);
    s.video->width = settings.width;
    s.video->height = settings.height;
    s.video->time_base = av_inv_q(rate);
    s.video->framerate = rate;
    s.video->sample_aspect_ratio = {1, 1};
    // A fixed palette of 3-3-2 bits, ordered dither: one pass, no frames held.
    s.video->pix_fmt = mp4 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_RGB8;
    if (mp4) {
        av_opt_set(s.video->priv_data, "preset", settings.preset.c_str(), 0);
        if (!settings.tune.empty())
            av_opt_set(s.video->priv_data, "tune", settings.tune.c_str(), 0);
        av_opt_set_double(s.video->priv_data, "crf", settings.crf, 0);
        // CABAC: a fifth smaller for a few percent of ultrafast's time.
        av_opt_set(s.video->priv_data, "x264-params", "cabac=1", 0);
        s.video->thread_count = settings.encoderThreads;
    }
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER)
        s.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    code = avcodec_open2(s.video, videoCodec, nullptr);
    if (code < 0)
        return Failed(code, std::string("cannot start the ") + videoCodec->name + " encoder", error);
    s.videoStream = avformat_new_stream(s.format, nullptr);
    if (s.videoStream == nullptr)
        return error = "not enough memory for the video stream", false;
    avcodec_parameters_from_context(s.videoStream->codecpar, s.video);
    s.videoStream->time_base = s.video->time_base;
    s.videoStream->avg_frame_rate = rate;

    s.picture->format = s.video->pix_fmt;
    s.picture->width = settings.width;
    s.picture->height = settings.height;
    if (mp4) {
        s.planes.resize(Yuv420FrameBytes(settings.width, settings.height));
        const int lumaBytes = settings.width * settings.height;
        s.picture->data[0] = s.planes.data();
        s.picture->data[1] = s.planes.data() + lumaBytes;
        s.picture->data[2] = s.planes.data() + lumaBytes + lumaBytes / 4;
        s.picture->linesize[0] = settings.width;
        s.picture->linesize[1] = s.picture->linesize[2] = settings.width / 2;
    } else {
        code = av_frame_get_buffer(s.picture, 0);
        if (code < 0)
            return Failed(code, "not enough memory for a frame", error);
        s.toGif = sws_getContext(settings.width, settings.height, AV_PIX_FMT_RGB0, settings.width, settings.height,
                                 AV_PIX_FMT_RGB8, SWS_POINT, nullptr, nullptr, nullptr);
        if (s.toGif == nullptr)
            return error = "cannot convert the frames for a GIF", false;
        av_opt_set(s.toGif, "sws_dither", "bayer", 0);
    }

    if (mp4) {
        const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (aac == nullptr)
            return error = "FFmpeg has no AAC encoder", false;
        s.audio = avcodec_alloc_context3(aac);
        s.soundFrame = av_frame_alloc();
        if (!s.audio || !s.soundFrame)
            return error = "not enough memory for the encoder", false;
        s.audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
        s.audio->sample_rate = SoundTrackRate(aac, settings.songRate);
        s.audio->time_base = {1, s.audio->sample_rate};
        s.audio->bit_rate = 160000;
        av_channel_layout_default(&s.audio->ch_layout, 2);
        // Much faster than the default coder, and as good at this rate.
        av_opt_set(s.audio->priv_data, "aac_coder", "fast", 0);
        if (s.format->oformat->flags & AVFMT_GLOBALHEADER)
            s.audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        code = avcodec_open2(s.audio, aac, nullptr);
        if (code < 0)
            return Failed(code, "cannot start the AAC encoder", error);
        s.audioStream = avformat_new_stream(s.format, nullptr);
        if (s.audioStream == nullptr)
            return error = "not enough memory for the sound track", false;
        avcodec_parameters_from_context(s.audioStream->codecpar, s.audio);
        s.audioStream->time_base = s.audio->time_base;
        s.fifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 2, s.audio->frame_size * 4);
        s.soundFrame->format = AV_SAMPLE_FMT_FLTP;
        s.soundFrame->nb_samples = s.audio->frame_size;
        s.soundFrame->sample_rate = s.audio->sample_rate;
        av_channel_layout_copy(&s.soundFrame->ch_layout, &s.audio->ch_layout);
        if (s.fifo == nullptr || av_frame_get_buffer(s.soundFrame, 0) < 0)
            return error = "not enough memory for the sound track", false;
    }

    code = avio_open(&s.format->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (code < 0)
        return Failed(code, "cannot open '" + path + "'", error);
    s.opened = true;
    AVDictionary* options = nullptr;
    // The index first, so that a player can start before the whole file is there.
    if (mp4)
        av_dict_set(&options, "movflags", "+faststart", 0);
    code = avformat_write_header(s.format, &options);
    av_dict_free(&options);
    if (code < 0)
        return Failed(code, "cannot write '" + path + "'", error);
    return true;
}

bool VideoEncoder::WritePackets(void* codecPointer, void* streamPointer, std::string& error)
{
    VideoEncoderState& s = *state_;
    AVCodecContext* codec = static_cast<AVCodecContext*>(codecPointer);
    AVStream* stream = static_cast<AVStream*>(streamPointer);
    AVPacket* packet = codec == s.video ? s.videoPacket : s.audioPacket;
    for (;;) {
        int code = avcodec_receive_packet(codec, packet);
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF)
            return true;
        if (code < 0)
            return Failed(code, "cannot encode", error);
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        std::lock_guard<std::mutex> hold(muxer_);
        code = av_interleaved_write_frame(s.format, packet);
        if (code < 0)
            return error = AvError(code), false;
    }
}

bool VideoEncoder::ConvertFrame(const unsigned char* rgb0, std::string& error)
{
    VideoEncoderState& s = *state_;
    if (s.settings.kind == VideoKind::Mp4) {
        ConvertToYuv420(rgb0, PixelOrder::rgb0, s.settings.width, s.settings.height, s.planes.data());
    } else {
        const int code = av_frame_make_writable(s.picture);
        if (code < 0)
            return Failed(code, "not enough memory for a frame", error);
        const int stride = s.settings.width * 4;
        sws_scale(s.toGif, &rgb0, &stride, 0, s.settings.height, s.picture->data, s.picture->linesize);
    }
    return true;
}

bool VideoEncoder::EncodeFrame(std::string& error)
{
    VideoEncoderState& s = *state_;
    s.picture->pts = s.frames++;
    const int code = avcodec_send_frame(s.video, s.picture);
    if (code < 0)
        return Failed(code, "cannot encode a frame", error);
    return WritePackets(s.video, s.videoStream, error);
}

bool VideoEncoder::EncodeAudio(bool last, std::string& error)
{
    VideoEncoderState& s = *state_;
    const int frameSize = s.audio->frame_size;
    while (av_audio_fifo_size(s.fifo) >= frameSize || (last && av_audio_fifo_size(s.fifo) > 0)) {
        int code = av_frame_make_writable(s.soundFrame);
        if (code < 0)
            return Failed(code, "not enough memory for the sound track", error);
        // The last frame may be short: AAC pads it, the muxer cuts it.
        const int count = av_audio_fifo_read(s.fifo, reinterpret_cast<void**>(s.soundFrame->data), frameSize);
        s.soundFrame->nb_samples = count;
        s.soundFrame->pts = s.soundSamples;
        s.soundSamples += count;
        code = avcodec_send_frame(s.audio, s.soundFrame);
        s.soundFrame->nb_samples = frameSize;
        if (code < 0)
            return Failed(code, "cannot encode the sound track", error);
        if (!WritePackets(s.audio, s.audioStream, error))
            return false;
    }
    return true;
}

bool VideoEncoder::AddSamples(const std::int16_t* samples, int frames, const void* layoutPointer, std::string& error)
{
    VideoEncoderState& s = *state_;
    if (s.audio == nullptr)
        return true;
    const AVChannelLayout* layout = static_cast<const AVChannelLayout*>(layoutPointer);
    if (s.mixdown == nullptr || av_channel_layout_compare(layout, &s.songLayout) != 0) {
        swr_free(&s.mixdown);
        av_channel_layout_uninit(&s.songLayout);
        av_channel_layout_copy(&s.songLayout, layout);
        // The sound track is a proper stereo mix of every channel.
        int code = swr_alloc_set_opts2(&s.mixdown, &s.audio->ch_layout, AV_SAMPLE_FMT_FLTP, s.audio->sample_rate,
                                       const_cast<AVChannelLayout*>(layout), AV_SAMPLE_FMT_S16, s.settings.songRate, 0,
                                       nullptr);
        if (code >= 0)
            code = swr_init(s.mixdown);
        if (code < 0)
            return Failed(code, "cannot mix the sound track", error);
    }
    const int room = swr_get_out_samples(s.mixdown, frames);
    for (auto& channel : s.mixed)
        channel.resize(std::max(room, 1));
    std::uint8_t* out[2] = {reinterpret_cast<std::uint8_t*>(s.mixed[0].data()),
                            reinterpret_cast<std::uint8_t*>(s.mixed[1].data())};
    const std::uint8_t* in = reinterpret_cast<const std::uint8_t*>(samples);
    const int made = swr_convert(s.mixdown, out, room, frames > 0 ? &in : nullptr, frames);
    if (made < 0)
        return Failed(made, "cannot mix the sound track", error);
    if (made > 0 && av_audio_fifo_write(s.fifo, reinterpret_cast<void**>(out), made) < made)
        return error = "not enough memory for the sound track", false;
    return EncodeAudio(false, error);
}

bool VideoEncoder::Finish(std::string& error)
{
    VideoEncoderState& s = *state_;
    if (s.audio) {
        // What the resampler still holds.
        if (s.mixdown && !AddSamples(nullptr, 0, &s.songLayout, error))
            return false;
        if (!EncodeAudio(true, error))
            return false;
        avcodec_send_frame(s.audio, nullptr);
        if (!WritePackets(s.audio, s.audioStream, error))
            return false;
    }
    avcodec_send_frame(s.video, nullptr);
    if (!WritePackets(s.video, s.videoStream, error))
        return false;
    int code = av_write_trailer(s.format);
    if (code < 0)
        return Failed(code, "cannot finish the file", error);
    if (s.format->pb->error < 0)
        return error = AvError(s.format->pb->error), false;
    s.opened = false;
    code = avio_closep(&s.format->pb);
    if (code < 0)
        return error = AvError(code), false;
    return true;
}
