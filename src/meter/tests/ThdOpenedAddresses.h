// Records the addresses the meter asks the system to open, in place of a browser, for as long
// as it lives; the answer the system gives can be chosen.
#pragma once

#include "Util_Platform.h"

#include <string>
#include <vector>

class ThdOpenedAddresses
{
public:
  explicit ThdOpenedAddresses(EUtilOpenResult answer = EUtilOpenResult::kOpened)
  {
    Answer() = answer;
    List().clear();
    mPrevious = Util_SetOpenAddressFunc(Record);
  }
  ~ThdOpenedAddresses() { Util_SetOpenAddressFunc(mPrevious); }
  ThdOpenedAddresses(const ThdOpenedAddresses&) = delete;
  ThdOpenedAddresses& operator=(const ThdOpenedAddresses&) = delete;

  const std::vector<std::string>& Addresses() const { return List(); }

private:
  static std::vector<std::string>& List()
  {
    static std::vector<std::string> list;
    return list;
  }
  static EUtilOpenResult& Answer()
  {
    static EUtilOpenResult answer = EUtilOpenResult::kOpened;
    return answer;
  }
  static EUtilOpenResult Record(const char* address, void*)
  {
    List().push_back(address);
    return Answer();
  }
  UtilOpenAddressFunc mPrevious = nullptr;
};
