// The value of @CurrentSong: the title the media player shows in the caption
// of its main window, or a fallback text when no song is known.
#pragma once

#include "text/bounded_string.h"

namespace kelmora::app {

// The song title in a player caption (in the OEM code page): the playlist
// number up to the first "." and the one character after it are dropped, and
// so is everything from the last " - " on. Empty for a caption that begins
// with "Winamp" (the player is not playing) or that holds no ".".
text::ShortString CleanCaption(text::ShortString caption);

// The cleaned caption of the running player's window; empty when the player
// is not running or shows no song.
text::ShortString QuerySongTitle();

// `no_song` for an empty title, otherwise prefix + title + suffix; the
// look-alike Cyrillic letters are then replaced by their Latin twins.
text::ShortString SongValue(const text::ShortString& title,
                            const text::ShortString& no_song,
                            const text::ShortString& prefix,
                            const text::ShortString& suffix);

}  // namespace kelmora::app
