#include "Tool.h"

namespace acw {

SCommand& CommandTable::Add(const std::string& strName, const std::string& strSummary) {
  m_vecCommands.push_back(std::make_unique<SCommand>());
  SCommand& sCommand = *m_vecCommands.back();
  sCommand.pApp = m_app.add_subcommand(strName, strSummary);
  return sCommand;
}

void CommandTable::AddRegion(SCommand& sCommand, std::string& strRegion, bool bRequired) {
  sCommand.pRegion = &strRegion;
  sCommand.bNeedsRegion = bRequired;
  sCommand.pApp
      ->add_option("--region", strRegion,
                   std::string("region id") + (bRequired ? " (needed" : " (optional") +
                       "; default: the variable, then the profile's region)")
      ->envname("ALIBABA_CLOUD_REGION_ID");
}

SCommand* CommandTable::Chosen() const {
  for (const auto& pCommand : m_vecCommands) {
    if (pCommand->pApp->parsed()) return pCommand.get();
  }
  return nullptr;
}

}  // namespace acw
