# Signs a file in place with SHA-256 Authenticode (osslsigncode): the
# PKCS#12 certificate SIGN_PKCS12, its password from the environment
# variable WIZARDSETUP_SIGN_PASSWORD, and the time-stamping service
# SIGN_TIMESTAMP_URL when one is named. Included by package.cmake, or run
# with cmake -P and FILE set.

function(sign file)
  # The password reaches osslsigncode in a file only its owner can read, not
  # on a command line that every user can see.
  set(password ${file}.password)
  file(TOUCH ${password})
  file(CHMOD ${password} PERMISSIONS OWNER_READ OWNER_WRITE)
  file(WRITE ${password} "$ENV{WIZARDSETUP_SIGN_PASSWORD}")
  set(timestamp "")
  if(SIGN_TIMESTAMP_URL)
    set(timestamp -ts ${SIGN_TIMESTAMP_URL})
  endif()
  execute_process(COMMAND osslsigncode sign -pkcs12 ${SIGN_PKCS12}
      -readpass ${password} -h sha256 -n WizardSetup ${timestamp}
      -in ${file} -out ${file}.signed
    OUTPUT_QUIET RESULT_VARIABLE failed)
  file(REMOVE ${password})
  if(failed)
    file(REMOVE ${file}.signed)
    message(FATAL_ERROR "osslsigncode could not sign ${file}")
  endif()
  file(RENAME ${file}.signed ${file})
endfunction()

if(FILE)
  sign(${FILE})
endif()
