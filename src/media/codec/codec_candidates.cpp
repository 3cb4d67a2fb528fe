#include "media/codec/codec_candidates.h"

#include <cinttypes>
#include <cstdio>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

namespace zorv::media::codec {

namespace {

AVCodecID formatOf(CodecRole role) {
    switch (role) {
    case CodecRole::kMpeg2VideoDecoder: return AV_CODEC_ID_MPEG2VIDEO;
    case CodecRole::kH264VideoDecoder: return AV_CODEC_ID_H264;
    case CodecRole::kAc3AudioDecoder: return AV_CODEC_ID_AC3;
    case CodecRole::kVideoCompressor: return AV_CODEC_ID_NONE;
    }
    return AV_CODEC_ID_NONE;
}

bool belongs(CodecRole role, const AVCodec* c) {
    if (c->capabilities & (AV_CODEC_CAP_EXPERIMENTAL | AV_CODEC_CAP_HARDWARE)) return false;
    if (role == CodecRole::kVideoCompressor) return av_codec_is_encoder(c) && c->type == AVMEDIA_TYPE_VIDEO;
    return av_codec_is_decoder(c) && c->id == formatOf(role);
}

const char* typeName(AVOptionType t) {
    switch (t) {
    case AV_OPT_TYPE_FLAGS: return "flags";
    case AV_OPT_TYPE_INT:
    case AV_OPT_TYPE_INT64:
    case AV_OPT_TYPE_UINT64: return "integer";
    case AV_OPT_TYPE_DOUBLE:
    case AV_OPT_TYPE_FLOAT: return "number";
    case AV_OPT_TYPE_STRING: return "text";
    case AV_OPT_TYPE_RATIONAL: return "ratio";
    case AV_OPT_TYPE_BOOL: return "on/off";
    case AV_OPT_TYPE_DICT: return "list";
    default: return "other";
    }
}

std::string defaultOf(const AVOption* o) {
    char buf[64] = {};
    switch (o->type) {
    case AV_OPT_TYPE_FLAGS:
    case AV_OPT_TYPE_INT:
    case AV_OPT_TYPE_INT64:
    case AV_OPT_TYPE_UINT64:
    case AV_OPT_TYPE_BOOL: std::snprintf(buf, sizeof buf, "%" PRId64, o->default_val.i64); break;
    case AV_OPT_TYPE_DOUBLE:
    case AV_OPT_TYPE_FLOAT: std::snprintf(buf, sizeof buf, "%g", o->default_val.dbl); break;
    case AV_OPT_TYPE_RATIONAL: std::snprintf(buf, sizeof buf, "%d/%d", o->default_val.q.num, o->default_val.q.den); break;
    case AV_OPT_TYPE_STRING: return o->default_val.str ? o->default_val.str : "";
    default: break;
    }
    return buf;
}

}  // namespace

std::vector<CodecEntry> codecCandidates(CodecRole role) {
    std::vector<CodecEntry> list;
    void* iter = nullptr;
    while (const AVCodec* c = av_codec_iterate(&iter)) {
        if (!belongs(role, c)) continue;
        list.push_back(CodecEntry{codecId(c->name), c->name, c->long_name ? c->long_name : c->name});
    }
    return list;
}

std::vector<CodecSetting> codecSettings(CodecRole role, std::string_view codecName) {
    std::vector<CodecSetting> settings;
    const std::string name(codecName);
    const AVCodec* c = role == CodecRole::kVideoCompressor ? avcodec_find_encoder_by_name(name.c_str())
                                                           : avcodec_find_decoder_by_name(name.c_str());
    if (!c || !c->priv_class) return settings;
    // av_opt_next walks the options of an object whose first member is its class.
    const AVClass* cls = c->priv_class;
    const AVOption* o = nullptr;
    while ((o = av_opt_next(&cls, o))) {
        if (o->type == AV_OPT_TYPE_CONST) continue;
        settings.push_back(CodecSetting{o->name, typeName(o->type), defaultOf(o), o->help ? o->help : ""});
    }
    return settings;
}

}  // namespace zorv::media::codec
