# The manifest is JSON and names the product, its version and the architecture it was built for.
#   cmake -DINFO=/opt/apps/cn.orvane.stampctl/info -P check_info.cmake
file(READ "${INFO}" info)
string(JSON appid GET "${info}" appid)
string(JSON version GET "${info}" version)
string(JSON arch GET "${info}" arch 0)
execute_process(COMMAND dpkg-query -W -f=\${Version} cn.orvane.stampctl OUTPUT_VARIABLE installed)
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE machine OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT appid STREQUAL "cn.orvane.stampctl" OR NOT version STREQUAL installed
   OR NOT arch STREQUAL machine)
  message(FATAL_ERROR "info: appid '${appid}' version '${version}' arch '${arch}'")
endif()
