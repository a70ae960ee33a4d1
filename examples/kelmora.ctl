; kelmora.ctl: the settings of kelmora, read from the folder of the program.
; On Linux, when no kelmora.ctl lies there, it is read from
; $XDG_CONFIG_HOME/kelmora/, or ~/.config/kelmora/ when XDG_CONFIG_HOME is
; not set: copy this file there for an installed kelmora. Text is UTF-8 on
; Linux (values, names, the names file and templates), code page 866 on
; Windows.
;
; A line holds a key, then spaces or tabs, then the value. Keys are found in
; any letter case. A semicolon starts a comment, up to the end of the line,
; so a value can never hold one. Double quotes around a value keep the spaces
; at its ends; the quotes themselves are dropped. When a key is given twice,
; its first line counts. A line kelmora does not understand is listed as a
; wrong line, and the run goes on after a three-second pause.
;
; "@Define NAME VALUE" defines NAME (in any letter case) as VALUE in every
; later line of this file; an "@" written right before the name keeps the
; name itself instead.

; ---- @BirthTime: the time since the birth moment
@Define BIRTHDAY 15/03/1980
BirthDate   BIRTHDAY          ; day/month/year
BirthTime   12:30:00          ; hour:minute:second
TimeFormat  dec               ; hex (when not set), dec, oct or bin
TimeCount   day               ; sec (when not set), min, hour, day, week,
                              ; or month, counted as 210 days

; ---- the names file: word-for-word substitutions
ChangeNames yes               ; only "yes" turns them on
NamesFile   names.lst         ; a relative path starts at the current folder

; ---- @CurrentSong: the title the media player is playing
@Define OWNER Toval
NoWamp      "OWNER hears nothing"   ; when no song is playing
Prefix      "OWNER listens to: "    ; put before a found title
Suffix      " (@OWNER's pick)"      ; put after it: " (OWNER's pick)"
