#include "app/Application.h"

int main(int argc, char** argv) {
    return katalox::runApplication(argc, argv);
}
