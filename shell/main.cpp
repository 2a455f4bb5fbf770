#include "shell/shell.h"

int main() { return RunDemo(); }
