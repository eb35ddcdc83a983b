// The settings file's place is chosen per platform (config_path-*.cc).
#include "app/config_file.h"
