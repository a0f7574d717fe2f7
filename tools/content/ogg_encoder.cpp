#include "ogg_encoder.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>

namespace klx::content {

std::vector<uint8_t> EncodeOggVorbis(const SoundSamples& sound, float quality, int serial) {
  std::vector<uint8_t> out;
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, sound.channels, sound.rate, quality) != 0) {
    vorbis_info_clear(&info);
    return out;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, serial);
  ogg_page page;
  ogg_packet packet;
  auto writePage = [&out](const ogg_page& p) {
    out.insert(out.end(), p.header, p.header + p.header_len);
    out.insert(out.end(), p.body, p.body + p.body_len);
  };
  {
    ogg_packet header, commentHeader, codeHeader;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentHeader);
    ogg_stream_packetin(&stream, &codeHeader);
    while (ogg_stream_flush(&stream, &page) != 0) writePage(page);
  }
  auto drain = [&] {
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page) != 0) writePage(page);
      }
    }
  };
  const int64_t frames = sound.Frames();
  const int64_t chunk = 4096;
  for (int64_t at = 0; at < frames; at += chunk) {
    const int64_t count = std::min(chunk, frames - at);
    float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
    for (int64_t i = 0; i < count; ++i) {
      for (int c = 0; c < sound.channels; ++c) buffer[c][i] = sound.samples[(at + i) * sound.channels + c];
    }
    vorbis_analysis_wrote(&dsp, static_cast<int>(count));
    drain();
  }
  vorbis_analysis_wrote(&dsp, 0);  // the end of the stream
  drain();
  while (ogg_stream_flush(&stream, &page) != 0) writePage(page);
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

}  // namespace klx::content
