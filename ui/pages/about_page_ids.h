// Control ids of the about page.
#pragma once

constexpr int kIdAboutText = 1014;
