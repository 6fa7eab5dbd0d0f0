#include "client/core/presentation.h"

namespace {

PresentationHooks hooks;

}  // namespace

void SetPresentationHooks(const PresentationHooks& installed) { hooks = installed; }

void PlayCue(Cue cue, uint8_t slot, uint8_t variant) {
  if (hooks.play_cue) hooks.play_cue(cue, slot, variant);
}

void TintFlash(uint8_t dr, uint8_t dg, uint8_t db) {
  if (hooks.tint_flash) hooks.tint_flash(dr, dg, db);
}

void MenuChanged() {
  if (hooks.menu_changed) hooks.menu_changed();
}
