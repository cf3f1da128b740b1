" SPDX-License-Identifier: MIT
" Vim syntax file
" Language:    Narravox scenario (the source narravox-ply compiles)
" Filenames:   *.nvx

if exists('b:current_syntax')
  finish
endif

let s:cpo_save = &cpo
set cpo&vim

syn case match
" Names hold letters, digits, '_' and '-': 'text-2' is a name, not the keyword 'text'. Letters
" beyond Latin-1, the Cyrillic ones among them, are word characters in any case.
syn iskeyword @,48-57,_,-

" Statements and keywords. A name after one of them is what it refers to.
syn keyword narravoxHeader      info
syn keyword narravoxHeader      start global arrival nextgroup=narravoxName skipwhite
syn keyword narravoxDeclaration verb location nextgroup=narravoxDeclaredName skipwhite
syn keyword narravoxDeclaration flag nextgroup=narravoxFlagList skipwhite
syn keyword narravoxDeclaration object
syn keyword narravoxDeclaration on nextgroup=narravoxVerbList skipwhite
syn keyword narravoxStatement   text pass
syn keyword narravoxStatement   set jump nextgroup=narravoxName skipwhite
syn keyword narravoxStatement   clear nextgroup=narravoxClearWhat,narravoxName skipwhite
syn keyword narravoxStatement   center nextgroup=narravoxCenterWhat skipwhite
syn keyword narravoxClearWhat   screen flags contained
syn keyword narravoxCenterWhat  on off contained
syn keyword narravoxConditional if nextgroup=narravoxNot,narravoxName skipwhite
syn keyword narravoxConditional else
syn keyword narravoxNot         not nextgroup=narravoxName skipwhite

syn match narravoxName         +[A-Za-z_\u0400-\u04ff][A-Za-z0-9_\u0400-\u04ff-]*+ contained
syn match narravoxDeclaredName +[A-Za-z_\u0400-\u04ff][A-Za-z0-9_\u0400-\u04ff-]*+ contained
syn match narravoxFlagList     +[^#]*+ contained
      \ contains=narravoxFlagName,narravoxNumber,narravoxOperator,narravoxDelimiter,narravoxBadChar
syn match narravoxFlagName     +[A-Za-z_\u0400-\u04ff][A-Za-z0-9_\u0400-\u04ff-]*+ contained
syn match narravoxVerbList     +[^:#]*+ contained
      \ contains=narravoxVerbName,narravoxDelimiter,narravoxBadChar
syn match narravoxVerbName     +[A-Za-z_\u0400-\u04ff][A-Za-z0-9_\u0400-\u04ff-]*+ contained

" Everything else a line may hold; any other character is a mistake.
syn match narravoxBadChar   +[^ \t,:=#"A-Za-z0-9_\u0400-\u04ff-]+
syn match narravoxNumber    +\<-\=\d\+\>+
syn match narravoxOperator  +=+
syn match narravoxDelimiter +[:,]+

" Texts stay on their line; one without its closing quote runs to the end of the line.
syn match narravoxUnterminated +"\%([^"\\]\|\\.\)*\\\=$+
syn region narravoxText start=+"+ skip=+\\.+ end=+"+ oneline
      \ contains=narravoxBadEscape,narravoxEscape
syn match narravoxBadEscape +\\\%(x00\|.\)+ contained
syn match narravoxEscape    +\\\%([nt"\\]\|x\%(00\)\@![0-9A-Fa-f]\{2}\)+ contained

syn keyword narravoxTodo contained TODO FIXME XXX
syn match narravoxComment +#.*$+ contains=narravoxTodo,@Spell

" Indentation is made of spaces; from the first tab on, the indentation is wrong.
syn match narravoxTabIndent +^ *\zs\t[ \t]*+

hi def link narravoxHeader        Keyword
hi def link narravoxDeclaration   Keyword
hi def link narravoxStatement     Statement
hi def link narravoxClearWhat     Statement
hi def link narravoxCenterWhat    Statement
hi def link narravoxConditional   Conditional
hi def link narravoxNot           Operator
hi def link narravoxName          Identifier
hi def link narravoxFlagName      Identifier
hi def link narravoxVerbName      Identifier
hi def link narravoxDeclaredName  Function
hi def link narravoxNumber        Number
hi def link narravoxOperator      Operator
hi def link narravoxDelimiter     Delimiter
hi def link narravoxText          String
hi def link narravoxEscape        SpecialChar
hi def link narravoxBadEscape     Error
hi def link narravoxUnterminated  Error
hi def link narravoxBadChar       Error
hi def link narravoxTabIndent     Error
hi def link narravoxComment       Comment
hi def link narravoxTodo          Todo

let b:current_syntax = 'narravox'

let &cpo = s:cpo_save
unlet s:cpo_save
