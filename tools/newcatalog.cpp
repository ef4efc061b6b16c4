// katalox-newcatalog PATH: creates an empty catalogue table file at PATH.
#include "platform/Error.h"
#include "store/catalog/CatalogFile.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: katalox-newcatalog PATH   (for example DataBase/Files.db)\n";
        return 2;
    }
    try {
        katalox::store::createEmptyCatalog(argv[1]);
    } catch (const katalox::Error& error) {
        std::cerr << "katalox-newcatalog: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
