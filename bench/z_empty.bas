' Start-up only: what every run costs before its first statement.
' expect: 0
declare_variables Z:INT
console_print Z
