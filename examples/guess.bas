' Number guessing: the program thinks of a number from 1 to 100 and answers
' every guess with "higher" or "lower" until it is found.
'
'   ostrin-tool run examples/guess.bas

declare_variables secret, guess, tries: INT
secret = random_number(100) + 1

console_print "I am thinking of a number from 1 to 100."
repeat
    console_input "Your guess? ", guess
    tries = tries + 1
    select guess
    case secret
        console_print "Right! You needed ", tries, "tries."
    default_case
        conditional guess < secret then console_print "Higher." else console_print "Lower."
    end_select
until guess = secret
