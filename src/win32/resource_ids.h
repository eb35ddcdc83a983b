// Resource numbers shared by the resource script and the window layer.
#pragma once

#define kIconWindow 1
#define kIconAlert 2
