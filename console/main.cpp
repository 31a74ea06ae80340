#include <cstdio>

#include "driver/console.hpp"

int main() { return rcpspdc::run_console(stdin, stdout); }
