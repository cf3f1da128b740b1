" SPDX-License-Identifier: MIT
" Narravox scenario sources, the input of narravox-ply.
autocmd BufRead,BufNewFile *.nvx setfiletype narravox
