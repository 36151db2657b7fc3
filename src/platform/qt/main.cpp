// ZELK: variable weights for mixed-type data that make the weighted distances between
// records as close as possible to an ultrametric.

#include "platform/qt/ZelkApp.h"

int main(int argc, char** argv) { return zelk::RunZelkApp(argc, argv); }
