// The add-on's link store for the driver of the Windows tests, under the prefix's user and Windows' own
// data protection: link_store_tool write FOLDER ID stores ID in FOLDER (an application-data folder) as
// the add-on does; link_store_tool read FOLDER prints the identifier stored there for this user, or
// "none" (status 1) when there is none or it does not open; link_store_tool where prints the user's roaming
// application-data folder, where the add-on keeps its store.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "LinkStoreFile.hpp"

int main(int argc, char** argv) {
    // Lines end as on Linux, for the driver that compares them.
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc == 4 && std::strcmp(argv[1], "write") == 0) {
        if (testsupport::WriteLinkStore(argv[2], argv[3]))
            return 0;
        std::printf("cannot store the identifier in %s\n", argv[2]);
        return 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "read") == 0) {
        const std::string id = testsupport::ReadLinkStore(argv[2]);
        std::printf("%s\n", id.empty() ? "none" : id.c_str());
        return id.empty() ? 1 : 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "where") == 0) {
        std::printf("%s\n", testsupport::UserRoamingFolder().c_str());
        return 0;
    }
    std::fprintf(stderr, "usage: link_store_tool write FOLDER ID | read FOLDER | where\n");
    return 2;
}
