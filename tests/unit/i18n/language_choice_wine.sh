#!/bin/sh
# Runs the language-choice program under Wine once per LANG and checks the
# tag Wine reports and the catalog chosen for it.
#   language_choice_wine.sh <language_choice_win.exe>
set -u
program=$1
status=0
while read -r lang tag catalog; do
  echo "LANG=$lang"
  if ! LANG=$lang LC_ALL=$lang wine "$program" "$tag" "$catalog"; then
    status=1
  fi
done <<CASES
de_AT.UTF-8 de-AT de
zh_HK.UTF-8 zh-HK zh-Hant-HK
ar_EG.UTF-8 ar-EG ar-EG
CASES
exit $status
