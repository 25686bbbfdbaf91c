! Oracle of the record engine tests: carries out the formatted writes, reads
! and format checks listed in a case file with gfortran's own run-time
! formatted I/O, and writes what came out to a result file.
!
! Usage: format_oracle <case file> <result file>
!
! Case file, per case:
!   <kind> <format length>          kind W (write), R (read) or P (parse only)
!   <format text>
!   <pattern> <nc> <ni> <n4> <n8>   item counts: texts, INTEGER*4, REAL*4, REAL*8
!   W: nc lines "<len4> <text>", then ni+n4+n8 lines with the value bits as
!      signed decimal integers
!   R: nc lines "<len4>" (lengths of the text items), then "<nrec>" and nrec
!      lines "<len4> <record>"
! The pattern selects the order of the items in the I/O list:
!   1: texts, integers, REAL*4, REAL*8   2: REAL*8, texts, integers
!   3: integers, texts, REAL*4
! Result file, per case: for W the records written (none when the write
! fails); for R the items after the
! read (texts in brackets, numbers as their bits in decimal); then "@@ <case>
! <iostat> <column>", case counting from 1, column being that of gfortran's
! caret in a format error message (for a human reader: the caret is often
! not where the error is).
program format_oracle
  use, intrinsic :: iso_fortran_env, only: iostat_end
  implicit none
  integer, parameter :: maxn = 64, maxc = 80
  character(len=600) :: fmt, line
  character(len=maxc) :: ca(maxn)
  character(len=400) :: msg
  integer :: cl(maxn)
  integer(4) :: ia(maxn), ib
  integer(8) :: jb
  real(4) :: ra(maxn)
  real(8) :: da(maxn)
  character(len=1) :: kind
  character(len=512) :: arg1, arg2
  integer :: cu, ou, su, ios, flen, pat, nc, ni, n4, n8, k, nrec, rlen, col, p
  integer :: ncase = 0, ios2

  call get_command_argument(1, arg1)
  call get_command_argument(2, arg2)
  open(newunit=cu, file=trim(arg1), status='old', action='read')
  open(newunit=ou, file=trim(arg2), status='replace', action='write')
  do
    read(cu, '(A1,1X,I6)', iostat=ios) kind, flen
    if (ios /= 0) exit
    read(cu, '(A)') fmt
    read(cu, *) pat, nc, ni, n4, n8
    msg = ' '
    select case (kind)
    case ('P')
      open(newunit=su, status='scratch', form='formatted', action='readwrite')
      write(su, fmt(1:flen), iostat=ios, iomsg=msg)
      close(su)
    case ('W')
      do k = 1, nc
        read(cu, '(I4,1X,A)') cl(k), ca(k)
      end do
      do k = 1, ni
        read(cu, *) ia(k)
      end do
      do k = 1, n4
        read(cu, *) ib
        ra(k) = transfer(ib, ra(k))
      end do
      do k = 1, n8
        read(cu, *) jb
        da(k) = transfer(jb, da(k))
      end do
      ! Written to a scratch file first: a write that fails leaves a
      ! partial record behind, which must not run into the next result line.
      open(newunit=su, status='scratch', form='formatted', action='readwrite')
      select case (pat)
      case (1)
        write(su, fmt(1:flen), iostat=ios, iomsg=msg) (ca(k)(1:cl(k)), k = 1, nc), (ia(k), k = 1, ni), &
          (ra(k), k = 1, n4), (da(k), k = 1, n8)
      case (2)
        write(su, fmt(1:flen), iostat=ios, iomsg=msg) (da(k), k = 1, n8), (ca(k)(1:cl(k)), k = 1, nc), &
          (ia(k), k = 1, ni)
      case default
        write(su, fmt(1:flen), iostat=ios, iomsg=msg) (ia(k), k = 1, ni), (ca(k)(1:cl(k)), k = 1, nc), &
          (ra(k), k = 1, n4)
      end select
      if (ios == 0) then
        rewind(su)
        do
          read(su, '(A)', advance='no', size=rlen, iostat=ios2) line
          if (ios2 == iostat_end) exit
          if (ios2 == 0) then
            write(ou, '(A)', advance='no') line(1:rlen)
          else
            write(ou, '(A)') line(1:rlen)
          end if
        end do
      end if
      close(su)
    case ('R')
      do k = 1, nc
        read(cu, '(I4)') cl(k)
      end do
      read(cu, *) nrec
      open(newunit=su, status='scratch', form='formatted', action='readwrite')
      do k = 1, nrec
        read(cu, '(I4,1X,A)') rlen, line
        write(su, '(A)') line(1:rlen)
      end do
      rewind(su)
      ca = repeat('?', maxc)
      ia = -777777
      ra = -777.0
      da = -777.0d0
      select case (pat)
      case (1)
        read(su, fmt(1:flen), iostat=ios, iomsg=msg) (ca(k)(1:cl(k)), k = 1, nc), (ia(k), k = 1, ni), &
          (ra(k), k = 1, n4), (da(k), k = 1, n8)
      case (2)
        read(su, fmt(1:flen), iostat=ios, iomsg=msg) (da(k), k = 1, n8), (ca(k)(1:cl(k)), k = 1, nc), &
          (ia(k), k = 1, ni)
      case default
        read(su, fmt(1:flen), iostat=ios, iomsg=msg) (ia(k), k = 1, ni), (ca(k)(1:cl(k)), k = 1, nc), &
          (ra(k), k = 1, n4)
      end select
      close(su)
      do k = 1, nc
        write(ou, '(3A)') '[', ca(k)(1:cl(k)), ']'
      end do
      do k = 1, ni
        write(ou, '(I0)') ia(k)
      end do
      do k = 1, n4
        write(ou, '(I0)') transfer(ra(k), ib)
      end do
      do k = 1, n8
        write(ou, '(I0)') transfer(da(k), jb)
      end do
    end select
    col = 0
    if (ios > 0) then
      p = index(msg, achar(10), back=.true.)
      if (p > 0) col = index(msg(p+1:), '^')
    end if
    ncase = ncase + 1
    write(ou, '(A,I0,1X,I0,1X,I0)') '@@ ', ncase, ios, col
  end do
  close(ou)
end program format_oracle
