// The value of @CurrentSong: the song that a media player reports through the
// OS's now-playing service, or else the title it shows in the caption of its
// main window, or a fallback text when no song is known.
#pragma once

#include <string>

#include "platform/platform.h"
#include "text/bounded_string.h"

namespace kelmora::app {

// The song title in a player caption (in the OEM code page): the playlist
// number up to the first "." and the one character after it are dropped, and
// so is everything from the last " - " on. Empty for a caption that begins
// with "Winamp" (the player is not playing) or that holds no ".".
text::ShortString CleanCaption(text::ShortString caption);

// "Artist, Artist - Title", or the title alone without artists. Control
// characters become spaces, so that the text never breaks a template line;
// every other byte is kept as the player sent it.
std::string SongText(const platform::NowPlaying& song);

// The song of the now-playing service where the OS has one, else the cleaned
// caption of the running player's window. Empty when no song is known.
text::ShortString QuerySongTitle();

// `no_song` for an empty title, otherwise prefix + title + suffix; the
// look-alike Cyrillic letters are then replaced by their Latin twins.
text::ShortString SongValue(const text::ShortString& title, const text::ShortString& no_song,
                            const text::ShortString& prefix, const text::ShortString& suffix);

}  // namespace kelmora::app
