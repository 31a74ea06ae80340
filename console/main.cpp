#include <cstdio>

#include "console/console.hpp"

int main() { return rcpspdc::run_console(stdin, stdout); }
