// make-mdb DESCRIPTION.json OUT.mdb: writes the Access file that the description describes.
#include <fstream>
#include <iostream>

#include <nlohmann/json.hpp>

#include "platform/error.h"
#include "testing/jet_writer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make-mdb DESCRIPTION.json OUT.mdb\n";
    return 2;
  }
  try {
    std::ifstream in(argv[1]);
    if (!in) throw toverak::RaisedError(std::string("cannot read ") + argv[1]);
    toverak::WriteJetDatabase(nlohmann::json::parse(in), argv[2]);
  } catch (const nlohmann::json::exception& error) {
    std::cerr << "make-mdb: " << argv[1] << ": " << error.what() << "\n";
    return 1;
  } catch (const toverak::RaisedError& error) {
    std::cerr << "make-mdb: " << error.Description() << "\n";
    return 1;
  }
  return 0;
}
