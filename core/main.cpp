#include "core/startup.h"

int main(int argc, char** argv) {
    StartUp(argc, argv);
    return ShutDown();
}
