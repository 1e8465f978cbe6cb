// The demo: its content and nine blocks on the player's frame loop.
#pragma once

struct Player;

// After player_command_line: returns the process exit status, 0 after a
// normal end, 1 when the window, the GL context or the content cannot be had.
int demo_main(Player* player);
