// The performance counter report: the counter's frequency and the cost of one read.
#pragma once

// How many reads the mean read time is taken over; also the number printed.
extern const int counter_sample_count;

// Prints the frequency and the read times, or that there is no counter; always returns.
void report_performance_counter();
