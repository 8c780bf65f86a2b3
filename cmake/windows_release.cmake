# The facts of the Windows build that its executable, its packages and their
# tests share, each set once. Included by the top-level CMakeLists.txt.

# What depends on a Windows build's bitness: the processor its manifest
# names; for Windows Installer, the package's architecture, its platform in
# the summary information, its Program Files folder property and whether
# its components are 64-bit; and on 64-bit Windows (and Wine's 64-bit
# prefix) the name of the folder that property stands for, the folder
# property of the system's programs of that bitness (cmd.exe), the registry
# view such a program reads and the other one, and the format of its image.
# The product is 32-bit. A 64-bit build of the same sources, the twin,
# exists only so that hosts that cannot run 32-bit code still test the tool
# under Wine; it is never shipped.
function(windows_bitness bits)
  if(bits EQUAL 64)
    set(values amd64 x64 x64 ProgramFiles64Folder yes "Program Files"
      System64Folder /reg:64 /reg:32 pei-x86-64)
  else()
    set(values x86 x86 Intel ProgramFilesFolder no "Program Files (x86)"
      SystemFolder /reg:32 /reg:64 pei-i386)
  endif()
  foreach(name MACHINE MSI_ARCH MSI_PLATFORM PROGRAM_FILES WIN64
          PROGRAM_FILES_NAME SYSTEM_FOLDER REGISTRY_VIEW OTHER_REGISTRY_VIEW
          PE_FORMAT)
    list(POP_FRONT values value)
    set(WIZARDSETUP_${name} ${value} PARENT_SCOPE)
  endforeach()
endfunction()

# Makes TARGET a WizardSetup.exe of VERSION (three numbers) from the tool's
# sources: its manifest and version resource carry VERSION, and it is linked
# as the product is, statically, stripped and with no link time, so that it
# imports only the system's own DLLs and two builds are the same. The product
# is one; the tests' upgrade package carries another of the next version, as
# every real upgrade brings a higher file version.
function(windows_executable target version)
  set(WIZARDSETUP_EXE_VERSION ${version})
  string(REPLACE "." "," WIZARDSETUP_EXE_VERSION_NUMBERS ${version}.0)
  set(WIZARDSETUP_DESCRIPTION "${PROJECT_DESCRIPTION}")
  set(WIZARDSETUP_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/release/WizardSetup.manifest.in
    ${WIZARDSETUP_MANIFEST} @ONLY)
  set(resources ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/release/WizardSetup.rc.in ${resources}
    @ONLY)
  set_property(SOURCE ${resources} APPEND PROPERTY
    OBJECT_DEPENDS ${WIZARDSETUP_MANIFEST})
  add_executable(${target} ${PROJECT_SOURCE_DIR}/command/main.cpp ${resources})
  target_compile_options(${target} PRIVATE ${WIZARDSETUP_TOOL_OPTIONS}
    -ffunction-sections -fdata-sections)
  # The real services: KERNEL32, ADVAPI32 and msvcrt, and nothing else that a
  # user's machine might lack.
  target_link_libraries(${target} PRIVATE wizard_core advapi32)
  target_link_options(${target} PRIVATE -static -s -Wl,--gc-sections
    -Wl,--no-insert-timestamp)
endfunction()

math(EXPR WIZARDSETUP_BITS "${CMAKE_SIZEOF_VOID_P} * 8")
windows_bitness(${WIZARDSETUP_BITS})
string(COMPARE EQUAL ${WIZARDSETUP_BITS} 64 WIZARDSETUP_TWIN)

# The version the tests upgrade to.
math(EXPR next_patch "${PROJECT_VERSION_PATCH} + 1")
set(WIZARDSETUP_NEXT_VERSION
  ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${next_patch})

# The product's identity for Windows Installer over all its versions. The
# tests' packages have one of their own, so that none is ever taken for a
# release.
set(WIZARDSETUP_UPGRADE_CODE 73386080-E6A9-4C4A-8D2B-F26CD79713AE)
string(UUID WIZARDSETUP_TEST_UPGRADE_CODE NAMESPACE ${WIZARDSETUP_UPGRADE_CODE}
  NAME "test packages" TYPE SHA1 UPPER)

# The tool folder's own files, all made in the build folder, each a component
# of its own: file, component and file keys, and the component's GUID in the
# x86 package, which has always had it.
set(WIZARDSETUP_TOOL_FILES
  WizardSetup.exe:Tool:WizardSetupExe:DC078FAB-F364-4AAD-9C3B-73C439E773FB
  TaskWizard.ico:TaskWizardIcon:TaskWizardIcon:2423AE9A-B68D-42CF-B8F4-5F6D77DFEEAE
  ComponentWizard.ico:ComponentWizardIcon:ComponentWizardIcon:5B0E1C3A-7D44-4F0B-9E61-2C8A0F3D9B17
  README.txt:Readme:ReadmeText:6F159826-00EC-4443-B1F8-EF48EB6BDA02)

list(TRANSFORM WIZARDSETUP_TOOL_FILES REPLACE ":.*" ""
  OUTPUT_VARIABLE WIZARDSETUP_TOOL_FILE_NAMES)
list(TRANSFORM WIZARDSETUP_TOOL_FILES REPLACE "^[^:]*:([^:]*):.*" "\\1"
  OUTPUT_VARIABLE WIZARDSETUP_TOOL_COMPONENTS)
list(JOIN WIZARDSETUP_TOOL_COMPONENTS "|" WIZARDSETUP_TOOL_COMPONENTS)

# The wizard folders the tests' packages carry, of the wizards' own shape.
set(WIZARDSETUP_SAMPLES_DIR ${PROJECT_SOURCE_DIR}/tests/sample_wizards)

# Every time the packages carry: SOURCE_DATE_EPOCH, else the commit's time,
# else 1980-01-01, the earliest a zip can hold. A source archive made by git
# has the commit's time in cmake/commit_time (export-subst); a clone asks git.
set(WIZARDSETUP_EPOCH $ENV{SOURCE_DATE_EPOCH})
if(NOT WIZARDSETUP_EPOCH)
  file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/commit_time WIZARDSETUP_EPOCH
    REGEX "^[0-9]+$")
endif()
if(NOT WIZARDSETUP_EPOCH)
  execute_process(COMMAND git log -1 --format=%ct
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE WIZARDSETUP_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET)
endif()
if(NOT WIZARDSETUP_EPOCH)
  set(WIZARDSETUP_EPOCH 315532800)
endif()

# A Wine test's own time limit, short of CTest's: its TERM reaches the test
# scripts' traps, which stop their Wine prefix and remove their scratch
# folders, where CTest's would kill them outright.
set(WIZARDSETUP_WINE_TEST_LIMIT timeout --kill-after=10 280)
set(WIZARDSETUP_WINE_TEST_TIMEOUT 300)
