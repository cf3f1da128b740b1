" SPDX-License-Identifier: MIT
" Vim filetype plugin for Narravox scenario sources: '#' comments, indentation by four spaces
" (tabs are not allowed in indentation).

if exists('b:did_ftplugin')
  finish
endif
let b:did_ftplugin = 1

setlocal commentstring=#\ %s comments=:#
setlocal expandtab shiftwidth=4 softtabstop=4
setlocal formatoptions-=t formatoptions+=croql

let b:undo_ftplugin = 'setlocal commentstring< comments< expandtab< shiftwidth< softtabstop<'
      \ . ' formatoptions<'
