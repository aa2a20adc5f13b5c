#include "OrvelApp.h"

int main(int argc, char **argv) { return RunOrvel(argc, argv); }
