// libavcodec is opened on the first call into it instead of at program start.
//
// Debian's libavcodec brings in close to a hundred shared libraries (every encoder and decoder
// library it was built with); loading and relocating them costs about 16 ms per process, several
// times what the DV file tools need for a whole conversion step. Those tools never touch a codec, so
// the entry points the program uses are defined here: each opens the library once (the same major
// version as the headers it was compiled against), looks its function up once, and forwards to it.
//
// When the library cannot be opened every entry point fails the way libavcodec reports a missing
// codec or a failed allocation: null pointers, AVERROR(ENOSYS), or nothing found by the iterators.
// A function that is not listed here fails at link time, which is where it should be added.
#include "media/codec/avcodec_loader.h"

#include <dlfcn.h>

#include <cerrno>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/version.h>
#include <libavutil/error.h>
}

namespace zorv::media::codec {
namespace {

#define ZORV_STR2(x) #x
#define ZORV_STR(x) ZORV_STR2(x)
constexpr const char* kLibraryName = "libavcodec.so." ZORV_STR(LIBAVCODEC_VERSION_MAJOR);

struct Library {
    void* handle = nullptr;
};

const Library& library() {
    static const Library lib{::dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL)};
    return lib;
}

template <class Fn>
Fn resolve(const char* name) {
    const Library& l = library();
    return l.handle ? reinterpret_cast<Fn>(::dlsym(l.handle, name)) : nullptr;
}

}  // namespace

bool avcodecAvailable() { return library().handle != nullptr; }

}  // namespace zorv::media::codec

using zorv::media::codec::resolve;

// Each entry point resolves its function once (a thread-safe static) and forwards to it.
#define ZORV_AVCODEC_FN(name) static const auto fn = resolve<decltype(&::name)>(#name)

extern "C" {

const AVCodec* av_codec_iterate(void** opaque) {
    ZORV_AVCODEC_FN(av_codec_iterate);
    return fn ? fn(opaque) : nullptr;
}

int av_codec_is_decoder(const AVCodec* codec) {
    ZORV_AVCODEC_FN(av_codec_is_decoder);
    return fn ? fn(codec) : 0;
}

int av_codec_is_encoder(const AVCodec* codec) {
    ZORV_AVCODEC_FN(av_codec_is_encoder);
    return fn ? fn(codec) : 0;
}

const AVCodec* avcodec_find_decoder(enum AVCodecID id) {
    ZORV_AVCODEC_FN(avcodec_find_decoder);
    return fn ? fn(id) : nullptr;
}

const AVCodec* avcodec_find_encoder(enum AVCodecID id) {
    ZORV_AVCODEC_FN(avcodec_find_encoder);
    return fn ? fn(id) : nullptr;
}

const AVCodec* avcodec_find_decoder_by_name(const char* name) {
    ZORV_AVCODEC_FN(avcodec_find_decoder_by_name);
    return fn ? fn(name) : nullptr;
}

const AVCodec* avcodec_find_encoder_by_name(const char* name) {
    ZORV_AVCODEC_FN(avcodec_find_encoder_by_name);
    return fn ? fn(name) : nullptr;
}

const AVCodecDescriptor* avcodec_descriptor_get(enum AVCodecID id) {
    ZORV_AVCODEC_FN(avcodec_descriptor_get);
    return fn ? fn(id) : nullptr;
}

AVCodecContext* avcodec_alloc_context3(const AVCodec* codec) {
    ZORV_AVCODEC_FN(avcodec_alloc_context3);
    return fn ? fn(codec) : nullptr;
}

void avcodec_free_context(AVCodecContext** context) {
    ZORV_AVCODEC_FN(avcodec_free_context);
    if (fn) fn(context);
}

int avcodec_open2(AVCodecContext* context, const AVCodec* codec, AVDictionary** options) {
    ZORV_AVCODEC_FN(avcodec_open2);
    return fn ? fn(context, codec, options) : AVERROR(ENOSYS);
}

void avcodec_flush_buffers(AVCodecContext* context) {
    ZORV_AVCODEC_FN(avcodec_flush_buffers);
    if (fn) fn(context);
}

int avcodec_send_packet(AVCodecContext* context, const AVPacket* packet) {
    ZORV_AVCODEC_FN(avcodec_send_packet);
    return fn ? fn(context, packet) : AVERROR(ENOSYS);
}

int avcodec_receive_frame(AVCodecContext* context, AVFrame* frame) {
    ZORV_AVCODEC_FN(avcodec_receive_frame);
    return fn ? fn(context, frame) : AVERROR(ENOSYS);
}

int avcodec_send_frame(AVCodecContext* context, const AVFrame* frame) {
    ZORV_AVCODEC_FN(avcodec_send_frame);
    return fn ? fn(context, frame) : AVERROR(ENOSYS);
}

int avcodec_receive_packet(AVCodecContext* context, AVPacket* packet) {
    ZORV_AVCODEC_FN(avcodec_receive_packet);
    return fn ? fn(context, packet) : AVERROR(ENOSYS);
}

AVPacket* av_packet_alloc(void) {
    ZORV_AVCODEC_FN(av_packet_alloc);
    return fn ? fn() : nullptr;
}

void av_packet_free(AVPacket** packet) {
    ZORV_AVCODEC_FN(av_packet_free);
    if (fn) fn(packet);
}

void av_packet_unref(AVPacket* packet) {
    ZORV_AVCODEC_FN(av_packet_unref);
    if (fn) fn(packet);
}

int av_new_packet(AVPacket* packet, int size) {
    ZORV_AVCODEC_FN(av_new_packet);
    return fn ? fn(packet, size) : AVERROR(ENOSYS);
}

AVCodecParserContext* av_parser_init(int codecId) {
    ZORV_AVCODEC_FN(av_parser_init);
    return fn ? fn(codecId) : nullptr;
}

int av_parser_parse2(AVCodecParserContext* parser, AVCodecContext* context, uint8_t** out, int* outSize, const uint8_t* in,
                     int inSize, int64_t pts, int64_t dts, int64_t pos) {
    ZORV_AVCODEC_FN(av_parser_parse2);
    if (!fn) {
        *out = nullptr;
        *outSize = 0;
        return AVERROR(ENOSYS);
    }
    return fn(parser, context, out, outSize, in, inSize, pts, dts, pos);
}

void av_parser_close(AVCodecParserContext* parser) {
    ZORV_AVCODEC_FN(av_parser_close);
    if (fn) fn(parser);
}

}  // extern "C"
