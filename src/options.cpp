#include "options.h"

int option_file_time = 0;
int option_system_time = 0;
int option_counter_report = 0;
int option_quiet = 0;
