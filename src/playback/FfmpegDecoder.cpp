// FFmpeg demuxing, decoding and resampling for one playback stream.
#include "playback/FfmpegDecoder.h"
#include "playback/ReadDeadline.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace tembrel::playback {

namespace {

// Errors in a row from the codec after which the rest of the file is given up.
constexpr int kMaxConsecutiveDecodeErrors = 64;

struct FormatCloser {
    void operator()(AVFormatContext* context) const noexcept { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const noexcept { avcodec_free_context(&context); }
};
struct SwrFreer {
    void operator()(SwrContext* context) const noexcept { swr_free(&context); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const noexcept { av_packet_free(&packet); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const noexcept { av_frame_free(&frame); }
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;

// FFmpeg prints every damaged frame on stderr; the library reports through its
// error codes instead.
void quietFfmpegLogs() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

int soundErrorFor(int averror) noexcept {
    if (averror == AVERROR(ENOENT)) {
        return kErrFileNotFound;
    }
    if (averror == AVERROR(ENOMEM)) {
        return kErrMemory;
    }
    if (averror == AVERROR_INVALIDDATA || averror == AVERROR_DEMUXER_NOT_FOUND ||
        averror == AVERROR_DECODER_NOT_FOUND || averror == AVERROR_STREAM_NOT_FOUND) {
        return kErrFileFormat;
    }
    return kErrFileBad;
}

// FFmpeg asks while it reads whether to give up.
int readDeadlinePassed(void*) {
    return ReadDeadline::passed() ? 1 : 0;
}

FormatPtr openInput(const std::string& path, int& error) {
    quietFfmpegLogs();
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr) {
        error = kErrMemory;
        return nullptr;
    }
    raw->interrupt_callback = AVIOInterruptCB{&readDeadlinePassed, nullptr};
    const int result = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (result < 0) {
        // EINVAL here means no demuxer recognised the content.
        error = result == AVERROR(EINVAL) ? kErrFileFormat : soundErrorFor(result);
        return nullptr;
    }
    return FormatPtr(raw);
}

int durationMs(const AVFormatContext& format) noexcept {
    if (format.duration == AV_NOPTS_VALUE || format.duration <= 0) {
        return 0;
    }
    const std::int64_t ms = format.duration / (AV_TIME_BASE / 1000);
    return static_cast<int>(std::min<std::int64_t>(ms, std::numeric_limits<int>::max()));
}

} // namespace

struct FfmpegDecoder::Context {
    FormatPtr format;
    std::unique_ptr<AVCodecContext, CodecFreer> codec;
    std::unique_ptr<SwrContext, SwrFreer> resampler;
    std::unique_ptr<AVPacket, PacketFreer> packet;
    std::unique_ptr<AVFrame, FrameFreer> frame;
    int streamIndex = -1;
    AVRational timeBase{1, 1};
    std::int64_t startPts = 0; // stream time of the first sample
};

std::unique_ptr<FfmpegDecoder> FfmpegDecoder::open(const std::string& path, int outputRate,
                                                   int& error) {
    auto context = std::make_unique<Context>();
    context->format = openInput(path, error);
    if (!context->format) {
        return nullptr;
    }
    AVFormatContext* format = context->format.get();
    if (const int result = avformat_find_stream_info(format, nullptr); result < 0) {
        error = soundErrorFor(result);
        return nullptr;
    }
    const AVCodec* codec = nullptr;
    context->streamIndex = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (context->streamIndex < 0 || codec == nullptr) {
        error = kErrFileFormat;
        return nullptr;
    }
    const AVStream* stream = format->streams[context->streamIndex];
    context->timeBase = stream->time_base;
    context->startPts = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;

    context->codec.reset(avcodec_alloc_context3(codec));
    context->packet.reset(av_packet_alloc());
    context->frame.reset(av_frame_alloc());
    if (!context->codec || !context->packet || !context->frame) {
        error = kErrMemory;
        return nullptr;
    }
    if (avcodec_parameters_to_context(context->codec.get(), stream->codecpar) < 0 ||
        avcodec_open2(context->codec.get(), codec, nullptr) < 0) {
        error = kErrFileBad;
        return nullptr;
    }

    AVCodecContext* decoder = context->codec.get();
    AVChannelLayout inputLayout{};
    if (decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&inputLayout, decoder->ch_layout.nb_channels);
    } else if (av_channel_layout_copy(&inputLayout, &decoder->ch_layout) < 0) {
        error = kErrMemory;
        return nullptr;
    }
    AVChannelLayout outputLayout = AV_CHANNEL_LAYOUT_STEREO;
    SwrContext* resampler = nullptr;
    const int setup =
        swr_alloc_set_opts2(&resampler, &outputLayout, AV_SAMPLE_FMT_FLT, outputRate, &inputLayout,
                            decoder->sample_fmt, decoder->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inputLayout);
    context->resampler.reset(resampler);
    if (setup < 0 || swr_init(resampler) < 0) {
        error = kErrFileBad;
        return nullptr;
    }
    const int length = durationMs(*format);
    return std::unique_ptr<FfmpegDecoder>(
        new FfmpegDecoder(std::move(context), outputRate, length));
}

int FfmpegDecoder::probeLengthMs(const std::string& path, int& error) {
    FormatPtr format = openInput(path, error);
    if (!format) {
        return -1;
    }
    if (format->duration == AV_NOPTS_VALUE) {
        if (const int result = avformat_find_stream_info(format.get(), nullptr); result < 0) {
            error = soundErrorFor(result);
            return -1;
        }
    }
    if (av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) < 0) {
        error = kErrFileFormat;
        return -1;
    }
    return durationMs(*format);
}

FfmpegDecoder::FfmpegDecoder(std::unique_ptr<Context> context, int outputRate,
                             int lengthMs) noexcept
    : context_(std::move(context)), outputRate_(outputRate), lengthMs_(lengthMs) {}

FfmpegDecoder::~FfmpegDecoder() = default;

FfmpegDecoder::Status FfmpegDecoder::decode(std::vector<float>& out, std::size_t maxFrames) {
    std::size_t added = 0;
    while (added < maxFrames) {
        if (pendingOffset_ >= pending_.size()) {
            pending_.clear();
            pendingOffset_ = 0;
            if (!refill()) {
                return Status::EndOfStream;
            }
            continue;
        }
        const std::size_t available = (pending_.size() - pendingOffset_) / kOutputChannels;
        const std::size_t take = std::min(available, maxFrames - added);
        const auto first = pending_.begin() + static_cast<std::ptrdiff_t>(pendingOffset_);
        out.insert(out.end(), first, first + static_cast<std::ptrdiff_t>(take * kOutputChannels));
        pendingOffset_ += take * kOutputChannels;
        added += take;
    }
    return Status::Ok;
}

bool FfmpegDecoder::refill() {
    AVCodecContext* codec = context_->codec.get();
    AVFrame* frame = context_->frame.get();
    AVPacket* packet = context_->packet.get();
    int errorsInRow = 0;
    while (!finished_) {
        const int received = avcodec_receive_frame(codec, frame);
        if (received == 0) {
            errorsInRow = 0;
            convertFrame();
            av_frame_unref(frame);
            if (!pending_.empty()) {
                return true;
            }
            continue;
        }
        if (received == AVERROR_EOF) {
            // Whatever the resampler still holds ends the stream.
            const int tail = swr_get_out_samples(context_->resampler.get(), 0);
            if (tail > 0) {
                pending_.resize(static_cast<std::size_t>(tail) * kOutputChannels);
                auto* data = reinterpret_cast<std::uint8_t*>(pending_.data());
                const int got = swr_convert(context_->resampler.get(), &data, tail, nullptr, 0);
                pending_.resize(static_cast<std::size_t>(std::max(got, 0)) * kOutputChannels);
            }
            finished_ = true;
            return !pending_.empty();
        }
        if (received != AVERROR(EAGAIN)) {
            if (++errorsInRow > kMaxConsecutiveDecodeErrors) {
                finished_ = true;
            }
            continue;
        }
        if (draining_) {
            finished_ = true; // the codec wants input after being flushed: nothing more comes
            break;
        }
        if (av_read_frame(context_->format.get(), packet) < 0) {
            draining_ = true;
            avcodec_send_packet(codec, nullptr);
            continue;
        }
        if (packet->stream_index == context_->streamIndex) {
            // A damaged packet is skipped; the next one may decode again.
            const int sent = avcodec_send_packet(codec, packet);
            if (sent < 0 && sent != AVERROR(EAGAIN) &&
                ++errorsInRow > kMaxConsecutiveDecodeErrors) {
                finished_ = true;
            }
        }
        av_packet_unref(packet);
    }
    return false;
}

void FfmpegDecoder::convertFrame() {
    AVFrame* frame = context_->frame.get();
    SwrContext* resampler = context_->resampler.get();
    const int capacity = swr_get_out_samples(resampler, frame->nb_samples);
    if (capacity <= 0) {
        return;
    }
    pending_.resize(static_cast<std::size_t>(capacity) * kOutputChannels);
    auto* data = reinterpret_cast<std::uint8_t*>(pending_.data());
    const int got =
        swr_convert(resampler, &data, capacity,
                    const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
    pending_.resize(static_cast<std::size_t>(std::max(got, 0)) * kOutputChannels);
    pendingOffset_ = 0;
    if (skipUntil_ < 0 || pending_.empty()) {
        return;
    }
    // After a seek, drop what lies before the target so the position is exact.
    const std::int64_t pts = frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) {
        skipUntil_ = -1;
        return;
    }
    const std::int64_t start =
        av_rescale_q(pts - context_->startPts, context_->timeBase, AVRational{1, outputRate_});
    const auto frames = static_cast<std::int64_t>(pending_.size() / kOutputChannels);
    if (start + frames <= skipUntil_) {
        pending_.clear();
        return;
    }
    pendingOffset_ =
        static_cast<std::size_t>(std::max<std::int64_t>(skipUntil_ - start, 0)) * kOutputChannels;
    skipUntil_ = -1;
}

void FfmpegDecoder::seek(std::int64_t milliseconds) {
    AVFormatContext* format = context_->format.get();
    const std::int64_t origin = format->start_time == AV_NOPTS_VALUE ? 0 : format->start_time;
    const std::int64_t target = origin + milliseconds * (AV_TIME_BASE / 1000);
    if (av_seek_frame(format, -1, target, AVSEEK_FLAG_BACKWARD) < 0) {
        avformat_seek_file(format, -1, std::numeric_limits<std::int64_t>::min(), target, target, 0);
    }
    avcodec_flush_buffers(context_->codec.get());
    swr_init(context_->resampler.get()); // drops samples buffered before the seek
    pending_.clear();
    pendingOffset_ = 0;
    skipUntil_ = milliseconds * outputRate_ / 1000;
    draining_ = false;
    finished_ = false;
}

} // namespace tembrel::playback
