// The program's entry: what `main` does, callable by tests in-process.
#pragma once

#include <string>
#include <vector>

class CApp;

// "--has-card": answers 0 and prints the card's volume when a card is found by the program's own
// recognition, else 1; nothing else starts. Any other arguments are the command line's path.
constexpr const char* kHasCardOption = "--has-card";

// Registers the resources and the dialog factories, then runs the application with the arguments
// (without the program's name) as its command line; answers the exit code.
int RunProgram(CApp& app, const std::vector<std::string>& arguments);
