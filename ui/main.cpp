#include "ui/startup.h"

int main(int argc, char** argv) { return varnelo::Varnelo(argc, argv); }
