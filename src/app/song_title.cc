#include "app/song_title.h"

#include <string>

#include "app/file_names.h"
#include "platform/platform.h"

namespace kelmora::app {

using text::ShortString;

ShortString CleanCaption(ShortString caption) {
  if (text::Copy(caption, 1, 6) == "Winamp") return {};
  std::size_t dot = text::Pos(".", caption.view());
  if (dot == 0) return {};
  text::Delete(caption, 1, static_cast<long>(dot) + 1);
  std::size_t last_dash = caption.view().rfind(" - ");
  if (last_dash != std::string_view::npos) caption.resize(last_dash);
  return caption;
}

std::string SongText(const platform::NowPlaying& song) {
  std::string text;
  for (const std::string& artist : song.artists) {
    if (!text.empty()) text += ", ";
    text += artist;
  }
  if (!text.empty()) text += " - ";
  text += song.title;
  // A control character becomes one space: the C0 controls, DEL, and the
  // C1 controls, which UTF-8 writes as C2 80 to C2 9F.
  std::string spaced;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    bool c1 = byte == 0xC2 && next >= 0x80 && next <= 0x9F;
    if (c1) ++i;
    spaced += c1 || byte < 0x20 || byte == 0x7F ? ' ' : static_cast<char>(byte);
  }
  return spaced;
}

ShortString QuerySongTitle() {
  if (std::optional<platform::NowPlaying> song = platform::QueryNowPlaying())
    return ShortString(SongText(*song));
  std::optional<std::string> caption = platform::FindWindowCaption("Winamp v1.x");
  if (!caption) return {};
  return CleanCaption(ShortString(*caption));
}

ShortString SongValue(const ShortString& title, const ShortString& no_song,
                      const ShortString& prefix, const ShortString& suffix) {
  ShortString value = title.empty() ? no_song : prefix + title + suffix;
  FixLookalikes(value);
  return value;
}

}  // namespace kelmora::app
