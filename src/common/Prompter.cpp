#include "common/Prompter.h"
