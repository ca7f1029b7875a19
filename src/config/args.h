// The command line.
#pragma once

#include <string>

// arg_anal's result when an option did all that the run is for ("--status",
// "--version"); the program then ends with arg_exit_status.
constexpr int arg_finished = 1;
extern int arg_exit_status;

// Applies the command-line arguments. Returns 0 to go on, -1 when help was
// printed or an argument was refused, arg_finished as above.
int arg_anal(int argc, char** argv);

// How many arguments are the option that asks for the settings to be
// printed instead of watched ("-t", "--test_config").
int arg_test_config_count(int argc, char** argv);

// The language of the messages that the arguments choose, before they are
// applied: the last "-ms" value, or MESSAGES= of a file named by "-f",
// in argument order. Empty when they choose none.
std::string arg_language_scan(int argc, char** argv);

// Prints the help text.
void arg_help_print();

// Prints the refusal of an argument that is not understood.
void arg_refuse(const char* arg);
