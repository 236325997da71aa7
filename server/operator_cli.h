#pragma once
// The "operator" command line of vantoli-content-server: argv[1] is
// "operator". Returns the process's exit status.

namespace vantoli::server {

int runOperator(int argc, char **argv);

} // namespace vantoli::server
