# Packs the tool folder at build time: stages it, makes the MSI and, when
# asked, the zip, byte for byte the same from the same inputs. Run by the
# build with cmake -P and these variables:
#
#   STAGE        a scratch folder
#   NAME         the top folder of the zip, WizardSetup-VERSION
#   FILES        the tool's own files, the exe, the icons and the readme,
#                separated by "|"; TOOL_COMPONENTS, their components
#   WIZARDS      a folder holding TaskWizard\ and ComponentWizard\, or empty
#   EPOCH        the time every entry and the package carry (Unix seconds)
#   WXS          the package's WiX source; ARCH, its architecture for wixl
#                (x86 or x64), and PLATFORM, for its summary information
#                (Intel or x64); UPGRADE_CODE, the one it names
#   EXE_VERSION  WizardSetup.exe's file version, as its version resource says
#   DESCRIPTION  the MSI's subject
#   MSI, ZIP     what to make (ZIP may be empty)
#   SIGN_PKCS12, SIGN_TIMESTAMP_URL  sign the MSI when the first is set

# The tool folder, with the same modes and times whoever builds it.
set(folder ${STAGE}/${NAME})
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${folder})
set(modes FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
  DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
  GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
string(REPLACE "|" ";" files "${FILES}")
file(COPY ${files} DESTINATION ${folder} ${modes})
if(WIZARDS)
  file(COPY ${WIZARDS}/TaskWizard ${WIZARDS}/ComponentWizard
    DESTINATION ${folder} ${modes})
endif()
execute_process(COMMAND find ${STAGE} -exec touch -h -d @${EPOCH} {} +
  COMMAND_ERROR_IS_FATAL ANY)
file(GLOB_RECURSE entries LIST_DIRECTORIES false RELATIVE ${STAGE}
  ${folder}/*)
list(SORT entries)

if(ZIP)
  # Named one by one, in one order: a folder is read in no fixed order. With
  # no extra attributes (-X), as they hold the inode's change time, and in
  # one time zone, as a zip keeps local times.
  list(JOIN entries "\n" listing)
  file(WRITE ${STAGE}.files "${listing}\n")
  file(REMOVE ${ZIP})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC zip -X -D -q ${ZIP} -@
    INPUT_FILE ${STAGE}.files WORKING_DIRECTORY ${STAGE}
    COMMAND_ERROR_IS_FATAL ANY)
endif()

# wixl draws the package code at random and stamps the clock: it runs at the
# epoch, and the package code is then derived from everything packed.
execute_process(COMMAND date -u -d @${EPOCH} "+%Y-%m-%d %H:%M:%S"
  OUTPUT_VARIABLE at OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(at_epoch ${CMAKE_COMMAND} -E env TZ=UTC faketime -f "${at}")
file(READ ${WXS} content)
foreach(entry ${entries})
  file(SHA256 ${STAGE}/${entry} hash)
  string(APPEND content "${entry} ${hash}\n")
endforeach()
string(SHA256 content "${content}")
string(UUID package_code NAMESPACE ${UPGRADE_CODE} NAME "${content}"
  TYPE SHA1 UPPER)
file(REMOVE ${MSI})
execute_process(COMMAND ${at_epoch} wixl --arch ${ARCH} -o ${MSI} ${WXS}
  WORKING_DIRECTORY ${folder} COMMAND_ERROR_IS_FATAL ANY)
# What wixl cannot write. The older version's removal inside the
# installation's transaction, right after InstallInitialize (1500). Windows
# Installer decides which files to copy before that removal runs, against
# the older version's files, and a file it leaves because an equal one is
# there goes with them. So none may count as equal: WizardSetup.exe carries
# its version, which rises with every version of the product, no file a
# hash (MsiFileHash), by which an unchanged unversioned file would be left,
# and an upgrade copies every file whatever it finds (CopyEveryFileOnUpgrade),
# so that an edited one is replaced too.
# Rollback actions: 3394 runs an exe from the Binary table, 3410 an
# installed one; both deferred (in-script), ignoring the exit status, as
# rollback actions, not impersonated. The search for the installed tool
# folder: the folder of the key file of any of the tool folder's own
# components (a CompLocator of type 1, with no signature). A UI sequence that
# only finds related products and hands over: the search, the launch
# conditions that read it, and costing run in the execute sequence alone. An
# 8.3 short name beside every long one; no empty table, the properties the
# UI sequence sets secure, and the _Validation table.
execute_process(COMMAND msiinfo export ${MSI} Component
  OUTPUT_VARIABLE components COMMAND_ERROR_IS_FATAL ANY)
set(searches "")
string(REPLACE "|" ";" tool_components "${TOOL_COMPONENTS}")
foreach(component IN LISTS tool_components)
  if(NOT components MATCHES "\n${component}\t({[-0-9A-F]+})\t")
    message(FATAL_ERROR "${MSI} has no component ${component}")
  endif()
  list(APPEND searches
    -q "INSERT INTO `CompLocator` (`Signature_`, `ComponentId`, `Type`) VALUES ('Installed${component}', '${CMAKE_MATCH_1}', 1)"
    -q "INSERT INTO `AppSearch` (`Property`, `Signature_`) VALUES ('WIZARDSETUP_INSTALLED_FOLDER', 'Installed${component}')")
endforeach()
# One row a statement: msibuild's DELETE with OR leaves rows and takes others.
set(ui_deletions "")
foreach(action AppSearch LaunchConditions CostInitialize FileCost CostFinalize
        MigrateFeatureStates)
  list(APPEND ui_deletions
    -q "DELETE FROM `InstallUISequence` WHERE `Action`='${action}'")
endforeach()
execute_process(COMMAND ${at_epoch} msibuild ${MSI}
  -q "UPDATE `InstallExecuteSequence` SET `Sequence`=1501 WHERE `Action`='RemoveExistingProducts'"
  -q "UPDATE `CustomAction` SET `Type`=3394, `Source`='WizardSetupBinary' WHERE `Action`='RollbackInstallWizards'"
  -q "UPDATE `CustomAction` SET `Type`=3410 WHERE `Action`='RollbackUninstallWizards'"
  -q "UPDATE `File` SET `Version`='${EXE_VERSION}', `Language`='1033' WHERE `File`='WizardSetupExe'"
  -q "DROP TABLE `MsiFileHash`"
  -q "CREATE TABLE `CompLocator` (`Signature_` CHAR(72) NOT NULL, `ComponentId` CHAR(38) NOT NULL, `Type` SHORT PRIMARY KEY `Signature_`)"
  ${searches}
  ${ui_deletions}
  COMMAND_ERROR_IS_FATAL ANY)
foreach(fix short_names msi_validation)
  execute_process(COMMAND ${at_epoch} perl
    ${CMAKE_CURRENT_LIST_DIR}/${fix}.pl ${MSI} ${STAGE}
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
execute_process(COMMAND ${at_epoch} msibuild ${MSI} -s "${DESCRIPTION}"
  WizardSetup "${PLATFORM};1033" {${package_code}} COMMAND_ERROR_IS_FATAL ANY)

if(SIGN_PKCS12)
  include(${CMAKE_CURRENT_LIST_DIR}/sign.cmake)
  sign(${MSI})
endif()
