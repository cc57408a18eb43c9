#include "tools/host/game_list.h"

std::filesystem::path DefaultGameListPath() {
    return BesideExecutable(QBT_LIST_FROM_INSTALLED_EXECUTABLE, QBT_LIST_FROM_EXECUTABLE);
}
