#include "recharge/catalogue.h"
