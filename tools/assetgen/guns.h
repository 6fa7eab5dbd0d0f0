// The five weapons as 3D models, shared by the items on the floor, the HUD
// weapon icons and the first-person gun pictures so all three agree.
#pragma once

#include "tools/assetgen/scene.h"

// Weapon 1..5 (knife, pistol, mp40, chaingun, rifle) in model coordinates:
// the barrel or blade points along +x, up is +y, the grip is at the origin.
void BuildWeapon(Scene& s, int weapon);
// Length of the model along x from its rear end to its muzzle.
float WeaponMuzzle(int weapon);
float WeaponRear(int weapon);
