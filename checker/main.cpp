// Entry point of the checker program.
#include "checker/error_boxes.hpp"
#include "checker/run_sequence.hpp"

int main(int argc, char** argv) {
    checker::turn_off_error_boxes();
    return checker::run_checker(argc, argv);
}
