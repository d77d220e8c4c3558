' With no key pending the key reader answers an empty string at once.
declare_variables s: STRING
s = console_key
console_print "[", s, "]"
' expect-line: []
