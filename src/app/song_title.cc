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
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  return text;
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
