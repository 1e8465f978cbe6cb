// Entry point: the command line, then the demo or the scene viewer.
#include "app/app_options.h"
#include "app/demo_main.h"
#include "app/viewer.h"
#include "player/player.h"

int main(int argc, char** argv) {
    AppOptions own;
    Player player;
    if (!player_command_line(&player, app_player_setup(&own), argc, argv)) return player.status;
    if (!own.view_path.empty()) return viewer_main(&player, own);
    return demo_main(&player);
}
