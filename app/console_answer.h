// How the console message box answers a Yes/No question.
#pragma once

enum class ConsoleAnswer { Continue, Stop, Ask };
extern ConsoleAnswer gConsoleAnswer;
