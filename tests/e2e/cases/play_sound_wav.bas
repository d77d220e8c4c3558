' The program writes a short 8-bit WAV file itself, field by field, then
' plays it synchronously from the file and from a memory block: with no
' sound device both return without an error.
declare_variables f: BFILE
declare_variables i, k, size: INT
declare_variables w: WORD
declare_variables m: MEMORY
open_file f, "tone.wav", "w"
i = 0x46464952
write_file f, i
i = 836
write_file f, i
i = 0x45564157
write_file f, i
i = 0x20746D66
write_file f, i
i = 16
write_file f, i
w = 1
write_file f, w, w
i = 8000
write_file f, i, i
w = 1
write_file f, w
w = 8
write_file f, w
i = 0x61746164
write_file f, i
i = 800
write_file f, i
i = 0x7F7F7F7F
counted_loop k, 1, 200
write_file f, i
next_step k
size = file_position(f)
close_file f
console_print "size ", size
play_sound "tone.wav", 0
console_print "played from the file"
allocate_memory m, 844, 1
open_file f, "tone.wav", "r"
read_file f, m
close_file f
play_sound m, 0
play_sound "", 0
console_print "played from memory"
' expect-file: tone.wav
' expect-output: size 844
' expect-output: played from the file
' expect-output: played from memory
