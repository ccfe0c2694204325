// Draws the client's window icon: a phone whose screen shows a play mark,
// on a rounded blue tile. Run at build time; writes the PNG given as argument.
#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon OUTPUT.png\n");
    return 2;
  }
  const int size = 64;
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, size, size, 32, SDL_PIXELFORMAT_RGBA32);
  if (!s) return 1;
  auto* px = static_cast<Uint32*>(s->pixels);
  auto put = [&](int x, int y, Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    px[y * (s->pitch / 4) + x] = SDL_MapRGBA(s->format, r, g, b, a);
  };
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      // Tile with rounded corners (radius 12).
      int cx = x < 12 ? 12 - x : (x > 51 ? x - 51 : 0);
      int cy = y < 12 ? 12 - y : (y > 51 ? y - 51 : 0);
      bool inTile = cx * cx + cy * cy <= 144;
      bool body = x >= 20 && x <= 43 && y >= 8 && y <= 55;
      bool screen = x >= 23 && x <= 40 && y >= 13 && y <= 48;
      // Play mark: a triangle pointing right inside the screen.
      int dy = y - 30;
      bool play = x >= 28 && x <= 37 && (dy < 0 ? -dy : dy) <= (x - 28) * 7 / 10 * -1 + 7;
      if (!inTile) put(x, y, 0, 0, 0, 0);
      else if (play && screen) put(x, y, 255, 255, 255, 255);
      else if (screen) put(x, y, 40, 190, 170, 255);
      else if (body) put(x, y, 30, 30, 40, 255);
      else put(x, y, 40, 110, 220, 255);
    }
  }
  int rc = IMG_SavePNG(s, argv[1]) == 0 ? 0 : 1;
  SDL_FreeSurface(s);
  return rc;
}
