// The command line.
#pragma once

// Applies the command-line arguments. Returns 0 to go on, -1 when help was
// printed or an argument was refused.
int arg_anal(int argc, char** argv);

// Prints the help text.
void arg_help_print();
